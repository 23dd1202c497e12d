#pragma once
// One of the program's private libraries (the desktop, the measuring, the
// metadata library) as its table of calls, loaded on first use: the library
// found as OsOpenPrivateLibrary finds it, its one entry called, the table's
// version checked against the program's. Thread-safe; when the table cannot
// be had, Error() says why, naming the library.
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/os.h"

template <typename Calls>
class PrivateCalls {
public:
    PrivateCalls(const char* library, const char* entry, uint32_t version)
        : library_(library), entry_(entry), version_(version)
    {
    }

    // The table, or nullptr when it cannot be loaded.
    const Calls* Get()
    {
        std::call_once(once_, [this] { Load(); });
        return calls_;
    }

    std::string Error()
    {
        Get();
        return error_;
    }

private:
    void Load()
    {
        void* entry = OsLibrarySymbol(library_, entry_, error_);
        const Calls* calls = entry ? reinterpret_cast<const Calls* (*)()>(entry)() : nullptr;
        if (entry && !calls)
            error_ = std::string(library_) + ": no " + entry_;
        else if (calls && calls->version != version_)
            error_ = std::string(library_) + ": built for another version of the program";
        else
            calls_ = calls;
    }

    const char* library_;
    const char* entry_;
    uint32_t version_;
    std::once_flag once_;
    const Calls* calls_ = nullptr;
    std::string error_;
};

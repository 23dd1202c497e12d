#pragma once
// Enumerations that the command line and the settings file name in words:
// one table of (name, value) rows per enumeration, the first row of a value
// being its canonical name.
#include <string>
#include <string_view>

template <typename T>
struct NamedValue {
    std::string_view name;
    T value;
};

template <typename T, size_t N>
bool ParseNamed(const NamedValue<T> (&table)[N], std::string_view name, T& value)
{
    for (const NamedValue<T>& row : table) {
        if (row.name == name) {
            value = row.value;
            return true;
        }
    }
    return false;
}

template <typename T, size_t N>
std::string NameOf(const NamedValue<T> (&table)[N], T value)
{
    for (const NamedValue<T>& row : table) {
        if (row.value == value)
            return std::string(row.name);
    }
    return std::string();
}

// The canonical names, separated by '|'.
template <typename T, size_t N>
std::string CanonicalNames(const NamedValue<T> (&table)[N])
{
    std::string names;
    for (size_t i = 0; i < N; ++i) {
        if (NameOf(table, table[i].value) != table[i].name)
            continue;
        if (!names.empty())
            names += '|';
        names += table[i].name;
    }
    return names;
}

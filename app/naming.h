#pragma once
// Naming of the result: the anaglyph is written beside its source under the
// source's name less its last four bytes, followed by "_anaglyph" and ".jpg";
// the other kinds of result by the same rule with their own suffix and
// extension ("_sbs" and ".jpg", "_stereo" and ".mpo" …).
#include <string>

// The source path less its last four bytes, followed by "_anaglyph"; a file
// name (the part after the last '/') of four bytes or fewer is kept whole,
// so the output always stays in the source's folder. Bytes, not characters.
std::string fAnaglyphBase(const std::string& sourcePath);
// The same rule with another suffix ("_sbs", "_stereo"): the name of each
// kind of result but the extension.
std::string fResultBase(const std::string& sourcePath, const std::string& suffix);

// The source path as the output name is made from it: the file name (the part
// after the last '/') lower-cased, the folders as they are, since on a file
// system that tells case apart a lower-cased folder is usually another folder.
std::string fNamingPath(const std::string& sourcePath);

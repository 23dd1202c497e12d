#pragma once
// Naming of the result: the anaglyph is written beside its source under the
// source's name less its last four bytes, followed by "_anaglyph" and ".jpg".
#include <string>

// The source path less its last four bytes (all of it when shorter), followed
// by "_anaglyph". Bytes, not characters; nothing is searched or tested.
std::string fAnaglyphBase(const std::string& sourcePath);

// The source path as the output name is made from it: the file name (the part
// after the last '/') lower-cased, the folders as they are, since on a file
// system that tells case apart a lower-cased folder is usually another folder.
std::string fNamingPath(const std::string& sourcePath);

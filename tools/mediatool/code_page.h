// Record names in the installer's ANSI code page, and back: conversion of
// host path levels, names for people, and command-line arguments.
#ifndef KELVRA_MEDIATOOL_CODE_PAGE_H
#define KELVRA_MEDIATOOL_CODE_PAGE_H

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

constexpr unsigned kDefaultCodePage = 936;

// Whether `text` is a code page the tool can write names in (the lead-byte
// tables must know every double-byte one). Sets `cp`.
bool ParseCodePage(const std::string& text, unsigned& cp);
const char* SupportedCodePages();

// One level of a host path into the code page, and back. False when a
// character has no exact counterpart.
bool LevelToCodePage(const fs::path& level, unsigned cp, std::string& out);
bool LevelToCodePage(const fs::path::string_type& level, unsigned cp, std::string& out);
bool LevelFromCodePage(const std::string& bytes, unsigned cp, fs::path& out);

// A record name for people: UTF-8, with \xNN for bytes the code page does
// not decode.
std::string DisplayName(const std::string& name, unsigned cp);

// The host path below `root` that a record name stands for. False, with
// `why` set, when a level cannot be converted.
bool NameToHostPath(const std::string& name, unsigned cp, const fs::path& root, fs::path& out,
                    std::string& why);

// A path given on the command line, in UTF-8 (see ProgramArguments); on
// POSIX the bytes are taken as they are.
fs::path ArgPath(const std::string& arg);

// A path in UTF-8 for messages.
std::string PathText(const fs::path& p);

#endif

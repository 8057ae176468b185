#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/poi_document.h"
#include "core/user_port.h"
#include "formats/file_format.h"

namespace qf {

// A parsed command line; unset options leave the settings file's values alone.
struct CliRequest {
  std::string command;
  std::vector<std::string> files;
  std::filesystem::path executable;
  std::optional<std::filesystem::path> settingsPath;
  std::optional<FileFormat> inputFormat;
  TextEncoding encoding = TextEncoding::Ansi;  // of text files that convert writes
  std::optional<FileFormat> outputFormat;
  std::optional<bool> optimise;
  std::optional<bool> signalMark;
  std::optional<bool> checkNames;
  std::optional<bool> dms;
  std::optional<bool> compass;
  std::optional<bool> translateName;
  bool eliminateDuplicates = false;
  bool overwriteReadOnly = false;
  bool json = false;
  std::optional<std::string> to;               // translate-names: tomtom|windows; batch: the target
  std::optional<OverwriteAnswer> overwrite;    // batch: the answer to every question; unset: ask
  std::optional<std::string> tomtomName;       // query-name --tomtom
  std::optional<std::string> windowsName;      // query-name --windows
  bool checkEmpty = false;                     // check --empty
  std::optional<std::string> checkNear;        // check --near: a distance such as 100m or 0.5km
  bool checkSimilar = false;                   // check --similar
  bool includeHome = false;                    // favourites: home and recent destinations too
  bool queryAddresses = false;                 // geocode --addresses; else coordinates
  std::optional<std::string> provider;         // geocode --provider nominatim|xml
  std::optional<std::string> host;             // geocode --host
  std::optional<std::string> key;              // geocode --key
  std::optional<std::string> deviceUrl;        // device: --device-url, in place of "Device Address"
  std::optional<std::string> with;             // device put --with: the companion kinds, e.g. "bmp,ogg"
};

// Runs the command; the exit status is 0 on success, 1 when an operation failed
// and 2 for a malformed command line.
int RunCliCommand(const CliRequest& request);

// Tells what is wrong with the command line and where help is; returns the exit status 2.
int UsageError(std::string_view problem);

}  // namespace qf

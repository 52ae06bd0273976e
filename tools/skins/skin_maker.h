// make_skins: every picture of a skin description written below a program
// folder, and the contact sheet that shows them all at once.
#pragma once

#include <string>

struct SkinMakerOptions {
  std::string description;  // path of skins.ini
  std::string outFolder;    // the program folder; pictures go below it
  std::string sheet;        // contact sheet PNG; empty: none
};

// Reads the description, draws every picture and writes each file through a
// temporary name (a file is either complete or absent), then the sheet.
// Needs a QGuiApplication. False with *error (a "skins.ini:<line>: ..."
// message for description faults) at the first fault; files written before
// it stay, complete.
bool MakeSkins(const SkinMakerOptions& options, std::string* error);

// Runs make_skins with its command line: --description FILE --out FOLDER
// [--sheet FILE]. Returns the exit code; messages go to stderr.
int MakeSkinsMain(int argc, char** argv);

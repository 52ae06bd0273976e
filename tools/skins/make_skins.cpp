// make_skins --description skins.ini --out FOLDER [--sheet FILE.png]
#include "tools/skins/skin_maker.h"

int main(int argc, char** argv) { return MakeSkinsMain(argc, argv); }

// orvtt: the ORV Teletext viewer.
#include "app/Program.h"

int main(int argc, char** argv) { return orv::RunViewer(argc, argv); }

// How an update run treats what it fetches: a client unpacks and installs,
// a server (a machine that serves updates to others) mirrors the archives.
#pragma once

constexpr int UPDATE_MODE_SERVER = 1;  // archives are mirrored, not unpacked
constexpr int UPDATE_MODE_CLIENT = 2;  // archives are unpacked and installed

// The minisign public keys built into this program (the CMake cache variable
// LKS_TRUSTED_KEYS names their files): an update list must be signed by one
// of them. None built in: lists are taken unsigned.
#pragma once

#include "engine/minisign.h"

#include <vector>

std::vector<MinisignPublicKey> BuiltInTrustedKeys();

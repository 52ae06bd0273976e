// The token store registered in a temporary registry file, for the tests
// that bind the plug-in to it. (Its own header cannot meet the window
// layer's in one file: both define the COM result codes.)
#pragma once

#include <string>

// Points the registry at registryFile, loads the store and registers it.
// Null on failure.
void* LoadAndRegisterTokenStore(const std::string& registryFile);
// Unloads the store, lets COM drop unused libraries and returns the
// registry to the default file.
void UnloadTokenStore(void* library);

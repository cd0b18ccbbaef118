// The build's identity (git describe of the source tree at build time), for --version.
#pragma once

const char* pelinorBuildId();

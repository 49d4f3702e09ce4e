#include "api.h"

extern "C" const char* ThostApiVersion() { return "pelmora-standin-1"; }

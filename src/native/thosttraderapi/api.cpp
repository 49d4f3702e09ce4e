// Placeholder: the API library is loaded before the trader library.
extern "C" const char* ThostApiVersion() { return "pelmora-standin-0"; }

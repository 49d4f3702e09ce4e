// Placeholder until the trader library lands.
extern "C" void StopTrader() {}

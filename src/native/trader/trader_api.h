/* Functions of the trader library, loaded by name at run time by the
 * Stravenor module. The library holds one instance and no handle: a caller
 * runs StartTrader, GetResult, the counts and getters it needs, then
 * StopTrader, and calls must not overlap.
 *
 * Text buffers are written NUL-terminated, GBK-encoded and never past the
 * sizes below. A getter with an index outside 0..count-1 writes empty texts
 * and zeros and returns -1. */
#ifndef PELMORA_TRADER_API_H
#define PELMORA_TRADER_API_H

#include <stdbool.h>
#include <stdint.h>

#if defined(_WIN32)
#  if defined(PELMORA_TRADER_BUILD)
#    define TRADER_API __declspec(dllexport)
#  else
#    define TRADER_API __declspec(dllimport)
#  endif
#else
#  define TRADER_API __attribute__((visibility("default")))
#endif

/* Buffer sizes in bytes, terminating NUL included. */
enum {
  TRADER_DAY_SIZE = 32,
  TRADER_CONTRACT_SIZE = 32,
  TRADER_DIRECTION_SIZE = 8,
  TRADER_OFFSET_SIZE = 16,
  TRADER_STATUS_SIZE = 32,
  TRADER_TIME_SIZE = 16,
  TRADER_ID_SIZE = 32
};

#ifdef __cplusplus
extern "C" {
#endif

/* Logs in to the platform at ip:port and loads the account. Returns once
 * login and loading have finished or failed, within the library's own
 * limits: 3 s to connect, then 5 s for the whole answer whatever the
 * platform sends, at most 200000 records of each kind and 32 MiB of record
 * lines. Going past a limit counts as a failed login. */
TRADER_API void StartTrader(const char* ip, const char* port, const char* user_id,
                            const char* password);

/* trading_day: TRADER_DAY_SIZE bytes. Writes login false and zeros after a
 * failed login or before any StartTrader. */
TRADER_API void GetResult(bool* login_ok, double* balance, double* available,
                          double* curr_margin, double* frozen_margin, double* close_profit,
                          double* position_profit, double* commission, double* deposit,
                          double* withdraw, double* pre_balance, double* reserve_balance,
                          int* settlement_id, char* trading_day, double* exchange_margin,
                          double* withdraw_quota, double* interest);

TRADER_API int GetPositionCount(void);
TRADER_API int GetTradeCount(void);
TRADER_API int GetOrderCount(void);

/* contract: TRADER_CONTRACT_SIZE, direction ("Long"/"Short"): TRADER_DIRECTION_SIZE. */
TRADER_API int GetPosition(int index, char* contract, char* direction, double* today,
                           double* yesterday, double* total, double* profit, double* margin);

TRADER_API int GetTrade(int index, char* contract, char* direction, char* offset,
                        double* price, int32_t* volume, char* time, char* trade_id,
                        char* order_id);

TRADER_API int GetOrder(int index, char* contract, char* direction, char* offset,
                        char* status, double* price, int32_t* total, int32_t* traded,
                        char* time, char* order_id);

/* Logs out and forgets the account; safe without a StartTrader before it. */
TRADER_API void StopTrader(void);

/* Diagnostics: how often the named function above was called since the
 * library was loaded, or -1 for a name it does not export. */
TRADER_API long TraderCallCount(const char* function_name);

#ifdef __cplusplus
}
#endif

#endif

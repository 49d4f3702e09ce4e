// The exported functions against the simulator, with buffers allocated at
// exactly the interface sizes. Accounts (see test_trader_library_native.py):
//   ok        password "pw", two positions, one trade, one order, overlong texts
//   refused   refuse_login
//   dropped   drop_after 2
//   silent    delay longer than the library's answer limit
#include <climits>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "check.h"
#include "trader_api.h"

namespace {

using namespace std::string_literals;

// An exact-size heap buffer, pre-filled with 'x' so unwritten bytes show.
struct Text {
  explicit Text(std::size_t n) : size(n), data(std::make_unique<char[]>(n)) {
    std::fill_n(data.get(), n, 'x');
  }
  std::string str() const { return std::string(data.get()); }
  bool blank() const {
    for (std::size_t i = 0; i < size; ++i)
      if (data[i] != '\0') return false;
    return true;
  }
  std::size_t size;
  std::unique_ptr<char[]> data;
};

struct Fund {
  bool ok = true;
  double v[14] = {};
  int settlement_id = -1;
  Text day{TRADER_DAY_SIZE};

  void read() {
    GetResult(&ok, &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8], &v[9],
              &v[10], &settlement_id, day.data.get(), &v[11], &v[12], &v[13]);
  }
};

struct Position {
  Text contract{TRADER_CONTRACT_SIZE}, direction{TRADER_DIRECTION_SIZE};
  double today = -1, yesterday = -1, total = -1, profit = -1, margin = -1;
  int read(int i) {
    return GetPosition(i, contract.data.get(), direction.data.get(), &today, &yesterday, &total,
                       &profit, &margin);
  }
  bool blank() const {
    return contract.blank() && direction.blank() && today == 0 && yesterday == 0 &&
           total == 0 && profit == 0 && margin == 0;
  }
};

struct Trade {
  Text contract{TRADER_CONTRACT_SIZE}, direction{TRADER_DIRECTION_SIZE},
      offset{TRADER_OFFSET_SIZE}, time{TRADER_TIME_SIZE}, trade_id{TRADER_ID_SIZE},
      order_id{TRADER_ID_SIZE};
  double price = -1;
  int32_t volume = -1;
  int read(int i) {
    return GetTrade(i, contract.data.get(), direction.data.get(), offset.data.get(), &price,
                    &volume, time.data.get(), trade_id.data.get(), order_id.data.get());
  }
  bool blank() const {
    return contract.blank() && direction.blank() && offset.blank() && time.blank() &&
           trade_id.blank() && order_id.blank() && price == 0 && volume == 0;
  }
};

struct Order {
  Text contract{TRADER_CONTRACT_SIZE}, direction{TRADER_DIRECTION_SIZE},
      offset{TRADER_OFFSET_SIZE}, status{TRADER_STATUS_SIZE}, time{TRADER_TIME_SIZE},
      order_id{TRADER_ID_SIZE};
  double price = -1;
  int32_t total = -1, traded = -1;
  int read(int i) {
    return GetOrder(i, contract.data.get(), direction.data.get(), offset.data.get(),
                    status.data.get(), &price, &total, &traded, time.data.get(),
                    order_id.data.get());
  }
  bool blank() const {
    return contract.blank() && direction.blank() && offset.blank() && status.blank() &&
           time.blank() && order_id.blank() && price == 0 && total == 0 && traded == 0;
  }
};

const int kOutOfRange[] = {-1, 2, 1000, INT_MAX, INT_MIN};

void logged_in_account(const char* host, const char* port) {
  StartTrader(host, port, "ok", "pw");
  Fund fund;
  fund.read();
  CHECK(fund.ok);
  CHECK(fund.day.str() == "20250314");
  CHECK(fund.settlement_id == 3);
  for (int i = 0; i < 14; ++i) CHECK(fund.v[i] == i + 1.5);

  CHECK(GetPositionCount() == 2);
  Position p0, p1;
  CHECK(p0.read(0) == 0);
  CHECK(p0.contract.str() == std::string(31, 'C'));  // 40 sent, cut to the buffer
  CHECK(p0.direction.str() == "Long");
  CHECK(p0.today == 1 && p0.yesterday == 2 && p0.total == 3 && p0.profit == 4.5 &&
        p0.margin == 6.25);
  CHECK(p1.read(1) == 0);
  CHECK(p1.contract.str() == "rb2505" && p1.direction.str() == "Short");
  for (int i : kOutOfRange) {
    Position p;
    CHECK(p.read(i) == -1);
    CHECK(p.blank());
  }

  CHECK(GetTradeCount() == 1);
  Trade t;
  CHECK(t.read(0) == 0);
  CHECK(t.contract.str() == "au2506");
  CHECK(t.direction.str() == "\xc2\xf2");  // GBK
  CHECK(t.offset.str() == "\xbf\xaa\xb2\xd6");
  CHECK(t.price == 690.5 && t.volume == 2);
  CHECK(t.time.str() == "09:00:0009:00:0");
  CHECK(t.trade_id.str() == std::string(31, 'T'));
  CHECK(t.order_id.str() == std::string(31, 'O'));
  for (int i : kOutOfRange) {
    Trade blank;
    CHECK(blank.read(i) == -1);
    CHECK(blank.blank());
  }

  CHECK(GetOrderCount() == 1);
  Order o;
  CHECK(o.read(0) == 0);
  std::string all_done = "\xc8\xab\xb2\xbf\xb3\xc9\xbd\xbb";
  CHECK(o.status.str() == all_done + all_done + all_done + "\xc8\xab\xb2\xbf\xb3\xc9");
  CHECK(o.price == 3.25 && o.total == 5 && o.traded == 4);
  for (int i : kOutOfRange) {
    Order blank;
    CHECK(blank.read(i) == -1);
    CHECK(blank.blank());
  }

  // Null out-pointers are skipped, not written through.
  CHECK(GetPosition(0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) == 0);
  GetResult(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);

  // A second StartTrader without StopTrader replaces the session.
  StartTrader(host, port, "ok", "pw");
  CHECK(GetPositionCount() == 2);

  StopTrader();
  Fund after;
  after.read();
  CHECK(!after.ok && after.day.blank() && after.settlement_id == 0);
  CHECK(GetPositionCount() == 0 && GetTradeCount() == 0 && GetOrderCount() == 0);
  StopTrader();  // twice is harmless
}

void failed_login(const char* host, const char* port, const char* user, const char* password) {
  StartTrader(host, port, user, password);
  Fund fund;
  fund.read();
  CHECK(!fund.ok);
  CHECK(fund.day.blank());
  for (double v : fund.v) CHECK(v == 0);
  CHECK(GetPositionCount() == 0 && GetTradeCount() == 0 && GetOrderCount() == 0);
  Position p;
  CHECK(p.read(0) == -1 && p.blank());
  StopTrader();
}

// The library is documented as single-use, but overlapping callers must still
// not corrupt its memory.
void overlapping_callers_stay_memory_safe(const char* host, const char* port) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([=] {
      for (int i = 0; i < 10; ++i) {
        StartTrader(host, port, "ok", "pw");
        Fund fund;
        fund.read();
        int n = GetPositionCount();
        for (int j = 0; j <= n; ++j) {
          Position p;
          p.read(j);
        }
        StopTrader();
      }
    });
  }
  for (auto& t : threads) t.join();
}

}  // namespace

void trader_session_checks(const char* host, const char* port) {
  long stops_before = TraderCallCount("StopTrader");
  StopTrader();  // before any StartTrader
  CHECK(TraderCallCount("StopTrader") == stops_before + 1);
  CHECK(TraderCallCount("NoSuchFunction") == -1);
  CHECK(TraderCallCount(nullptr) == -1);

  logged_in_account(host, port);
  failed_login(host, port, "refused", "pw");
  failed_login(host, port, "ok", "wrong");
  failed_login(host, port, "nobody", "pw");
  failed_login(host, port, "dropped", "pw");
  failed_login(host, port, "silent", "pw");
  failed_login(host, "not-a-port", "ok", "pw");
  failed_login("not-an-address", port, "ok", "pw");
  failed_login(nullptr, nullptr, nullptr, nullptr);
  overlapping_callers_stay_memory_safe(host, port);
  logged_in_account(host, port);  // still sound after all that
}

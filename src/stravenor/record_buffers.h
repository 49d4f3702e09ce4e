// The buffers one getter fills for one index (one set per record kind), and
// the record they become, keys in order. Filling needs no Python; building
// the record does.
#pragma once

#include <cstdint>

#include <pybind11/pybind11.h>

#include "text_conversion.h"
#include "trader_library.h"

namespace stravenor {
namespace py = pybind11;

struct PositionBuffers {
  char inst[TRADER_CONTRACT_SIZE] = {};
  char dire[TRADER_DIRECTION_SIZE] = {};
  double today_pos = 0, yd_pos = 0, total_pos = 0, profit = 0, margin = 0;

  static int count(const TraderLibrary& lib) { return lib.GetPositionCount(); }
  void fetch(const TraderLibrary& lib, int i) {
    lib.GetPosition(i, inst, dire, &today_pos, &yd_pos, &total_pos, &profit, &margin);
  }
  py::dict to_dict() const {
    py::dict d;
    d["contract"] = buffer_text(inst);
    d["direction"] = buffer_text(dire);
    d["today_position"] = today_pos;
    d["yesterday_position"] = yd_pos;
    d["total_position"] = total_pos;
    d["position_profit"] = profit;
    d["use_margin"] = margin;
    return d;
  }
};

struct TradeBuffers {
  char inst[TRADER_CONTRACT_SIZE] = {};
  char dire[TRADER_DIRECTION_SIZE] = {};
  char offset[TRADER_OFFSET_SIZE] = {};
  double price = 0;
  std::int32_t vol = 0;
  char time[TRADER_TIME_SIZE] = {};
  char trade_id[TRADER_ID_SIZE] = {};
  char order_id[TRADER_ID_SIZE] = {};

  static int count(const TraderLibrary& lib) { return lib.GetTradeCount(); }
  void fetch(const TraderLibrary& lib, int i) {
    lib.GetTrade(i, inst, dire, offset, &price, &vol, time, trade_id, order_id);
  }
  py::dict to_dict() const {
    py::dict d;
    d["contract"] = buffer_text(inst);
    d["direction"] = buffer_text(dire);
    d["offset"] = buffer_text(offset);
    d["price"] = price;
    d["volume"] = vol;
    d["time"] = buffer_text(time);
    d["trade_id"] = buffer_text(trade_id);
    d["entrust_serial_no"] = buffer_text(order_id);
    return d;
  }
};

struct OrderBuffers {
  char inst[TRADER_CONTRACT_SIZE] = {};
  char dire[TRADER_DIRECTION_SIZE] = {};
  char offset[TRADER_OFFSET_SIZE] = {};
  char status[TRADER_STATUS_SIZE] = {};
  double price = 0;
  std::int32_t total = 0, traded = 0;
  char time[TRADER_TIME_SIZE] = {};
  char order_id[TRADER_ID_SIZE] = {};

  static int count(const TraderLibrary& lib) { return lib.GetOrderCount(); }
  void fetch(const TraderLibrary& lib, int i) {
    lib.GetOrder(i, inst, dire, offset, status, &price, &total, &traded, time, order_id);
  }
  py::dict to_dict() const {
    py::dict d;
    d["contract"] = buffer_text(inst);
    d["direction"] = buffer_text(dire);
    d["offset"] = buffer_text(offset);
    d["status"] = buffer_text(status);
    d["price"] = price;
    d["entrust_volume"] = total;
    d["deal_volume"] = traded;
    d["time"] = buffer_text(time);
    d["entrust_serial_no"] = buffer_text(order_id);
    return d;
  }
};

}  // namespace stravenor

#include "snapshot_query.h"

#include <string>

#include "account_values.h"
#include "native_call.h"
#include "snapshot_arguments.h"
#include "snapshot_records.h"
#include "trader_library.h"
#include "trader_session.h"

namespace stravenor {
namespace {

template <class Record>
py::object read_records(const TraderLibrary& lib, const AccountValues&) {
  const int n = native_call([&] { return Record::count(lib); });
  py::list records;
  for (int i = 0; i < n; ++i) {
    Record record;
    native_call([&] { record.fetch(lib, i); });
    records.append(record.to_dict());
  }
  return std::move(records);
}

py::object read_fund(const TraderLibrary&, const AccountValues& values) {
  return values.fund_record();
}

struct OptionReader {
  const char* option;
  py::object (*read)(const TraderLibrary&, const AccountValues&);
};

// Compared in this order, by exact text.
constexpr OptionReader kReaders[] = {
    {"fund", read_fund},
    {"position", read_records<PositionRecord>},
    {"trade", read_records<TradeRecord>},
    {"entrust", read_records<OrderRecord>},
};

std::string utf8(const py::str& text) {
  return py::bytes(text.attr("encode")("utf-8"));
}

}  // namespace

py::dict query_trader_all_info(const py::args& args, const py::kwargs& kwargs) {
  const SnapshotArguments a = parse_snapshot_arguments(args, kwargs);
  const TraderLibrary& lib = trader_library();

  TraderSession session(lib);
  const std::string ip = utf8(a.ip), port = utf8(a.port), userid = utf8(a.userid),
                    password = utf8(a.password);
  native_call([&] { lib.StartTrader(ip.c_str(), port.c_str(), userid.c_str(), password.c_str()); });

  AccountValues values;
  native_call([&] { values.fetch(lib); });

  py::dict result;
  result["登录成功"] = py::bool_(values.login_ok);
  for (const auto& reader : kReaders) {
    if (PyUnicode_CompareWithASCIIString(a.option.ptr(), reader.option) == 0) {
      result["data"] = reader.read(lib, values);
      return result;
    }
  }
  result["msg"] = "未知查询选项";
  return result;
}

void bind_snapshot_query(py::module_& m) {
  // The docstring carries the signature, so inspect.signature can read it.
  py::options options;
  options.disable_function_signatures();
  m.def("query_trader_all_info", &query_trader_all_info,
        "query_trader_all_info(ip, port, userid, password, option)\n"
        "--\n\n"
        "Logs in to the risk-control platform as one account and returns\n"
        "{'登录成功': bool, 'data': ...} for option 'fund', 'position', 'trade'\n"
        "or 'entrust', or {'登录成功': bool, 'msg': '未知查询选项'} for any\n"
        "other option. All five arguments are str.");
}

}  // namespace stravenor

// Module Pelmora: import-time behaviour and the public surface, in the order
// the class defines its members. The members themselves live in one source
// area per subsystem.
#include <pybind11/pybind11.h>

#include "account/account.h"
#include "bindings.h"
#include "caches/caches.h"
#include "core/python.h"
#include "docstrings.h"
#include "execution/execution.h"
#include "pelmora_endpoints.h"
#include "reads/reads.h"
#include "research/research.h"
#include "signals/signals.h"
#include "status/status.h"

namespace py = pybind11;
using namespace pybind11::literals;
using pelmora::account::Account;
using pelmora::account::TimeoutRunner;

namespace {

void import_python_modules(py::module_& m) {
  m.attr("clickhouse_connect") = py::module_::import("clickhouse_connect");
  m.attr("datetime") = py::module_::import("datetime");
  m.attr("pd") = py::module_::import("pandas");
  m.attr("json") = py::module_::import("json");
  m.attr("redis") = py::module_::import("redis");
  m.attr("types") = py::module_::import("types");
  m.attr("warnings") = py::module_::import("warnings");
  m.attr("pymysql") = py::module_::import("pymysql");
  m.attr("os") = py::module_::import("os");
}

// from .Stravenor import *
void import_snapshot_module(py::module_& m) {
  std::string name = py::str(m.attr("__name__"));
  auto dot = name.rfind('.');
  std::string sibling = dot == std::string::npos ? "Stravenor" : name.substr(0, dot) + ".Stravenor";
  py::module_ strav = py::module_::import(sibling.c_str());
  py::object names;
  if (py::hasattr(strav, "__all__")) {
    names = strav.attr("__all__");
  } else {
    py::list pub;
    for (py::handle key : strav.attr("__dict__")) {
      std::string k = py::str(key);
      if (!k.empty() && k[0] != '_') pub.append(key);
    }
    names = pub;
  }
  for (py::handle key : names) m.attr(key) = strav.attr(key);
}

void define_constants(py::module_& m) {
  m.attr("CENTRAL_HOST") = PELMORA_CENTRAL_HOST;
  py::dict prod;
  prod["prod"] = PELMORA_PROD_REDIS_HOST_PROD;
  prod["prod67"] = PELMORA_PROD_REDIS_HOST_PROD67;
  prod["prod65"] = PELMORA_PROD_REDIS_HOST_PROD65;
  m.attr("PROD_REDIS_HOSTS") = prod;
  m.attr("RISK_PLATFORM_HOST") = PELMORA_RISK_PLATFORM_HOST;
}

void define_my_class(py::module_& m) {
  namespace a = pelmora::account;
  namespace d = pelmora::docs;
  // The docstrings carry the signatures in the interpreter's own form, which
  // inspect.signature and help() read; pybind11's own lines would come twice.
  py::options options;
  options.disable_function_signatures();
  py::class_<TimeoutRunner>(m, "MyClass", py::dynamic_attr(), d::kDocMyClass)
      .def(py::init<>(), d::kDocMyClassInit)
      .def("my_task", &a::my_task, d::kDocMyTask)
      .def("run_with_timeout", &a::run_with_timeout, d::kDocRunWithTimeout);
}

void define_pelmora(py::module_& m) {
  namespace a = pelmora::account;
  namespace r = pelmora::reads;
  namespace rs = pelmora::research;
  namespace s = pelmora::signals;
  namespace x = pelmora::execution;
  namespace c = pelmora::caches;
  namespace st = pelmora::status;
  namespace d = pelmora::docs;
  py::options options;
  options.disable_function_signatures();
  py::class_<Account> cls(m, "Pelmora", py::dynamic_attr(), d::kDocPelmoraClass);

  // The holder is made by the plain initialiser; the real constructor then
  // sets the attributes through self, so subclasses and callers see ordinary
  // instance attributes.
  cls.def(py::init<>());
  py::object make_holder = cls.attr("__init__");
  cls.attr("__init__") = py::cpp_function(
      [make_holder](py::object self, py::object account_id, py::object acquire_key, py::object user_id,
                    py::object env) {
        make_holder(self);
        a::construct(self, account_id, acquire_key, user_id, env);
      },
      py::name("__init__"), py::is_method(cls), "account_id"_a, "acquire_key"_a, "user_id"_a,
      "env"_a = "test", d::kDocInit);

  cls.def_static("unix_to_datetime", &a::unix_to_datetime, "unix_timestamp"_a, d::kDocUnixToDatetime)
      .def("fun_clickhouse_connect", &a::fun_clickhouse_connect, d::kDocFunClickhouseConnect)
      .def("fun_login", &a::fun_login, d::kDocFunLogin)
      .def("fun_check_replicate", &a::fun_check_replicate, d::kDocFunCheckReplicate)
      .def("fun_replicate_save", &s::fun_replicate_save, "tmp_mat"_a, "continuous_holding"_a,
           d::kDocFunReplicateSave)
      .def("contract_format", &a::contract_format, d::kDocContractFormat)
      .def("risk_platform_connected", &a::risk_platform_connected, d::kDocRiskPlatformConnected)
      .def("fun_update_signal", &s::fun_update_signal, "input_data"_a, "use_redis"_a = false,
           "continuous_holding"_a = false, "simple"_a = false, d::kDocFunUpdateSignal)
      .def("fun_delete_signal", &s::fun_delete_signal, "trading_day"_a = "", "order_typ"_a = "",
           "trade_time"_a = "", "contract"_a = py::none(), d::kDocFunDeleteSignal)
      .def("fun_read_signal", &s::fun_read_signal, "start_date"_a, "end_date"_a, "clean"_a = true,
           d::kDocFunReadSignal)
      .def("fun_read_order", &r::fun_read_order, "start_date"_a = "", "end_date"_a = "", py::kw_only(),
           "as_frame"_a = false, d::kDocFunReadOrder)
      .def("fun_read_deal", &r::fun_read_deal, "start_date"_a = "", "end_date"_a = "", py::kw_only(),
           "as_frame"_a = false, d::kDocFunReadDeal)
      .def("fun_read_position", &r::fun_read_position, "start_date"_a = "", "end_date"_a = "", py::kw_only(),
           "as_frame"_a = false, d::kDocFunReadPosition)
      .def("fun_update_sts", &st::fun_update_sts, "trade_flag"_a = true, d::kDocFunUpdateSts)
      .def("fun_redis_position", &c::fun_redis_position, d::kDocFunRedisPosition)
      .def("fun_read_equity", &r::fun_read_equity, "start_date"_a = "", "end_date"_a = "", py::kw_only(),
           "as_frame"_a = false, d::kDocFunReadEquity)
      .def("fun_update_TWAP_info", &x::fun_update_TWAP_info, "input_data"_a, d::kDocFunUpdateTwapInfo)
      .def("fun_last_trade", &c::fun_last_trade, d::kDocFunLastTrade)
      .def("fun_margin_used", &c::fun_margin_used, d::kDocFunMarginUsed)
      .def("fun_read_info", &x::fun_read_info, "info"_a = "单笔最小开仓量", d::kDocFunReadInfo)
      .def("fun_read_split_doc", &x::fun_read_split_doc, d::kDocFunReadSplitDoc)
      .def("fun_search_split_mode", &x::fun_search_split_mode, "mode"_a = "current", d::kDocFunSearchSplitMode)
      .def("fun_back_to_default_split_mode", &x::fun_back_to_default_split_mode,
           d::kDocFunBackToDefaultSplitMode)
      .def("fun_set_split_mode", &x::fun_set_split_mode, "mode"_a = "", "effective_hour"_a = -1,
           d::kDocFunSetSplitMode)
      .def("fun_redis_deal", &c::fun_redis_deal, "dte"_a, d::kDocFunRedisDeal)
      .def_static("factors_value", &rs::factors_value, "typ"_a = "", "start_date"_a = "", "end_date"_a = "",
                  d::kDocFactorsValue)
      .def_static("mysql_248", &a::mysql_248, "sql"_a, d::kDocMysql248)
      .def("post_trade_analysis", &rs::post_trade_analysis, "start_date"_a, "end_date"_a,
           "typ"_a = "commodity", d::kDocPostTradeAnalysis)
      .def_static("factors_value_vesk", &rs::factors_value_vesk, "typ"_a = "", "start_date"_a = "",
                  "end_date"_a = "", d::kDocFactorsValueVesk);
}

}  // namespace

PYBIND11_MODULE(Pelmora, m) {
  pelmora::set_module(m);
  m.doc() = pelmora::docs::kDocPelmoraModule;
  m.attr("__version__") = PELMORA_VERSION;
  import_python_modules(m);
  import_snapshot_module(m);
  m.attr("warnings").attr("filterwarnings")("ignore");
  m.attr("socket") = py::module_::import("socket");
  define_constants(m);
  define_my_class(m);
  define_pelmora(m);
  pelmora::bind_records(m);
  pelmora::bind_statements(m);
  pelmora::bind_python_literal(m);
  pelmora::bind_guard(m);
}

// Module Pelmora: import-time behaviour and the public surface, in the order
// the class defines its members. The members themselves live in one source
// area per subsystem.
#include <pybind11/pybind11.h>

#include <tuple>
#include <utility>

#include "account/account.h"
#include "account/help.h"
#include "bindings.h"
#include "caches/caches.h"
#include "caches/help.h"
#include "core/help_text.h"
#include "core/python.h"
#include "execution/execution.h"
#include "execution/help.h"
#include "help.h"
#include "pelmora_endpoints.h"
#include "reads/help.h"
#include "reads/reads.h"
#include "research/help.h"
#include "research/research.h"
#include "signals/help.h"
#include "signals/signals.h"
#include "status/help.h"
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

// Registers a member with its help text: the signature line made from the
// same argument objects that register it, then the area's text. The line is
// what inspect.signature() and help() read, so it cannot drift from the
// arguments; pybind11's own signature lines are off where this is used.
template <typename Cls, typename F, typename... Args>
void method(Cls& cls, const char* name, F&& f, const char* body, const Args&... args) {
  cls.def(name, std::forward<F>(f), args..., pelmora::help_text(name, true, body, args...).c_str());
}
template <typename Cls, typename F, typename... Args>
void static_method(Cls& cls, const char* name, F&& f, const char* body, const Args&... args) {
  cls.def_static(name, std::forward<F>(f), args..., pelmora::help_text(name, false, body, args...).c_str());
}

void define_my_class(py::module_& m) {
  namespace account = pelmora::account;
  namespace docs = pelmora::docs;
  py::options options;
  options.disable_function_signatures();
  py::class_<TimeoutRunner> cls(m, "MyClass", py::dynamic_attr(), docs::kDocMyClass);
  cls.def(py::init<>(), pelmora::help_text("__init__", true, docs::kDocMyClassInit).c_str());
  method(cls, "my_task", &account::my_task, docs::kDocMyTask);
  method(cls, "run_with_timeout", &account::run_with_timeout, docs::kDocRunWithTimeout);
}

void define_pelmora(py::module_& m) {
  namespace account = pelmora::account;
  namespace reads = pelmora::reads;
  namespace research = pelmora::research;
  namespace signals = pelmora::signals;
  namespace execution = pelmora::execution;
  namespace caches = pelmora::caches;
  namespace status = pelmora::status;
  namespace docs = pelmora::docs;
  py::options options;
  options.disable_function_signatures();
  py::class_<Account> cls(m, "Pelmora", py::dynamic_attr(), docs::kDocPelmoraClass);

  // The holder is made by the plain initialiser; the real constructor then
  // sets the attributes through self, so subclasses and callers see ordinary
  // instance attributes.
  cls.def(py::init<>());
  py::object make_holder = cls.attr("__init__");
  const auto init_args = std::make_tuple("account_id"_a, "acquire_key"_a, "user_id"_a, "env"_a = "test");
  std::apply(
      [&](const auto&... args) {
        cls.attr("__init__") = py::cpp_function(
            [make_holder](py::object self, py::object account_id, py::object acquire_key, py::object user_id,
                          py::object env) {
              make_holder(self);
              account::construct(self, account_id, acquire_key, user_id, env);
            },
            py::name("__init__"), py::is_method(cls), args...,
            pelmora::help_text("__init__", true, docs::kDocInit, args...).c_str());
      },
      init_args);

  static_method(cls, "unix_to_datetime", &account::unix_to_datetime, docs::kDocUnixToDatetime, "unix_timestamp"_a);
  method(cls, "fun_clickhouse_connect", &account::fun_clickhouse_connect, docs::kDocFunClickhouseConnect);
  method(cls, "fun_login", &account::fun_login, docs::kDocFunLogin);
  method(cls, "fun_check_replicate", &account::fun_check_replicate, docs::kDocFunCheckReplicate);
  method(cls, "fun_replicate_save", &signals::fun_replicate_save, docs::kDocFunReplicateSave, "tmp_mat"_a,
         "continuous_holding"_a);
  method(cls, "contract_format", &account::contract_format, docs::kDocContractFormat);
  method(cls, "risk_platform_connected", &account::risk_platform_connected, docs::kDocRiskPlatformConnected);
  method(cls, "fun_update_signal", &signals::fun_update_signal, docs::kDocFunUpdateSignal, "input_data"_a,
         "use_redis"_a = false, "continuous_holding"_a = false, "simple"_a = false);
  method(cls, "fun_delete_signal", &signals::fun_delete_signal, docs::kDocFunDeleteSignal, "trading_day"_a = "",
         "order_typ"_a = "", "trade_time"_a = "", "contract"_a = py::none());
  method(cls, "fun_read_signal", &signals::fun_read_signal, docs::kDocFunReadSignal, "start_date"_a, "end_date"_a,
         "clean"_a = true);
  method(cls, "fun_read_order", &reads::fun_read_order, docs::kDocFunReadOrder, "start_date"_a = "",
         "end_date"_a = "", py::kw_only(), "as_frame"_a = false);
  method(cls, "fun_read_deal", &reads::fun_read_deal, docs::kDocFunReadDeal, "start_date"_a = "", "end_date"_a = "",
         py::kw_only(), "as_frame"_a = false);
  method(cls, "fun_read_position", &reads::fun_read_position, docs::kDocFunReadPosition, "start_date"_a = "",
         "end_date"_a = "", py::kw_only(), "as_frame"_a = false);
  method(cls, "fun_update_sts", &status::fun_update_sts, docs::kDocFunUpdateSts, "trade_flag"_a = true);
  method(cls, "fun_redis_position", &caches::fun_redis_position, docs::kDocFunRedisPosition);
  method(cls, "fun_read_equity", &reads::fun_read_equity, docs::kDocFunReadEquity, "start_date"_a = "",
         "end_date"_a = "", py::kw_only(), "as_frame"_a = false);
  method(cls, "fun_update_TWAP_info", &execution::fun_update_TWAP_info, docs::kDocFunUpdateTwapInfo, "input_data"_a);
  method(cls, "fun_last_trade", &caches::fun_last_trade, docs::kDocFunLastTrade);
  method(cls, "fun_margin_used", &caches::fun_margin_used, docs::kDocFunMarginUsed);
  method(cls, "fun_read_info", &execution::fun_read_info, docs::kDocFunReadInfo, "info"_a = "单笔最小开仓量");
  method(cls, "fun_read_split_doc", &execution::fun_read_split_doc, docs::kDocFunReadSplitDoc);
  method(cls, "fun_search_split_mode", &execution::fun_search_split_mode, docs::kDocFunSearchSplitMode,
         "mode"_a = "current");
  method(cls, "fun_back_to_default_split_mode", &execution::fun_back_to_default_split_mode,
         docs::kDocFunBackToDefaultSplitMode);
  method(cls, "fun_set_split_mode", &execution::fun_set_split_mode, docs::kDocFunSetSplitMode, "mode"_a = "",
         "effective_hour"_a = -1);
  method(cls, "fun_redis_deal", &caches::fun_redis_deal, docs::kDocFunRedisDeal, "dte"_a);
  static_method(cls, "factors_value", &research::factors_value, docs::kDocFactorsValue, "typ"_a = "",
                "start_date"_a = "", "end_date"_a = "");
  static_method(cls, "mysql_248", &account::mysql_248, docs::kDocMysql248, "sql"_a);
  method(cls, "post_trade_analysis", &research::post_trade_analysis, docs::kDocPostTradeAnalysis, "start_date"_a,
         "end_date"_a, "typ"_a = "commodity");
  static_method(cls, "factors_value_vesk", &research::factors_value_vesk, docs::kDocFactorsValueVesk, "typ"_a = "",
                "start_date"_a = "", "end_date"_a = "");
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

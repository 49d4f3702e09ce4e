#include "account/account.h"
#include "core/python.h"
#include "core/stores.h"

namespace pelmora::account {

void construct(py::object self, py::object account_id, py::object acquire_key, py::object user_id,
               py::object env) {
  self.attr("env") = env;
  self.attr("login") = 0;
  self.attr("client") = py::none();
  self.attr("connect_tag") = 0;
  call_method(self, "fun_clickhouse_connect");

  // Set only after the store connection: that step does not use them.
  self.attr("account_id") = account_id;
  self.attr("acquire_key") = acquire_key;
  self.attr("user_id") = user_id;
  self.attr("redis_conn") = stores::redis_for_env(env);
  call_method(self, "fun_login");

  self.attr("update_times") = 0;
  self.attr("update_df") = module_attr("pd").attr("DataFrame")();
  self.attr("if_copy") = false;
  self.attr("copy_redis_conn") = stores::central_redis();
  call_method(self, "fun_check_replicate");
}

}  // namespace pelmora::account

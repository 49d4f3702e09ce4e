// Replication: an accepted upload repeated for the copy account.
#include "signals/publish.h"
#include "signals/signals.h"

namespace pelmora::signals {

py::object fun_replicate_save(py::object self, py::object tmp_mat, py::object continuous_holding) {
  if (!copy_paired(self)) return py::int_(0);
  tmp_mat[py::str("account_id")] = self.attr("copy_account_id");
  // The copy's hash is always written; its rows keep the main upload's user and times.
  publish(self, tmp_mat, kCopySide, true, py::bool_(continuous_holding), {});
  return py::int_(0);
}

}  // namespace pelmora::signals

// One writer for an accepted upload, used for the account itself and for its
// copy account; Side holds what differs between the two.
#pragma once
#include <pybind11/pybind11.h>

#include <string_view>

namespace pelmora::signals {
namespace py = pybind11;

struct Side {
  const char* account_attr;   // the account the rows carry
  const char* cache_attr;     // the Redis connection of its signal hash
  std::string_view replace;   // soft-delete of the account's live rows of the day
};

// The account itself: its own cache; replaced rows get the upload time.
extern const Side kMainSide;
// The copy account: the central cache; replaced rows keep their update_time.
extern const Side kCopySide;

// Publishes the accepted rows (the thirteen signal table columns) for the
// side's account: the signal hash when asked, then, outside continuous
// holding, the soft-delete of the day's live rows, then one INSERT of all rows.
// `time` is the upload time the main side's soft-delete writes.
void publish(py::handle self, py::handle rows, const Side& side, bool write_hash, bool continuous,
             std::string_view time);

}  // namespace pelmora::signals

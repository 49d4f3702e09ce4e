#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "account/account.h"
#include "core/python.h"

namespace pelmora::account {

namespace {
constexpr auto kTaskSleep = std::chrono::seconds(10);
constexpr auto kWaitLimit = std::chrono::seconds(3);

// What the worker hands back: the task's value or the error it raised.
struct Outcome {
  std::mutex mu;
  std::condition_variable done_cv;
  bool done = false;
  py::object value;
  py::object error;
};
}  // namespace

py::str my_task(py::object) {
  {
    py::gil_scoped_release nogil;
    std::this_thread::sleep_for(kTaskSleep);
  }
  return py::str("执行完成");
}

py::object run_with_timeout(py::object self) {
  try {
    auto outcome = std::make_shared<Outcome>();
    py::object task = self.attr("my_task");
    std::thread worker([outcome, task]() mutable {
      py::gil_scoped_acquire gil;
      py::object value, error;
      try {
        value = task();
      } catch (py::error_already_set& e) {
        error = e.value();
      } catch (const std::exception& e) {
        error = py::reinterpret_steal<py::object>(PyObject_CallFunction(PyExc_RuntimeError, "s", e.what()));
      }
      task = py::object();
      {
        std::lock_guard<std::mutex> lock(outcome->mu);
        outcome->value = std::move(value);
        outcome->error = std::move(error);
        outcome->done = true;
      }
      outcome->done_cv.notify_all();
    });

    bool in_time;
    {
      py::gil_scoped_release nogil;
      std::unique_lock<std::mutex> lock(outcome->mu);
      in_time = outcome->done_cv.wait_for(lock, kWaitLimit, [&] { return outcome->done; });
      lock.unlock();
      // Leaving the pool's scope waits for its task, finished or not.
      worker.join();
    }
    if (!in_time) {
      py::print("任务超时！");
    } else if (outcome->error) {
      py::print(py::make_tuple(py::str("任务出错："), outcome->error));
    } else {
      py::print(outcome->value);
    }
  } catch (py::error_already_set& e) {
    py::print(py::make_tuple(py::str("任务出错："), e.value()));
  }
  return py::none();
}

}  // namespace pelmora::account

// The lock that lets one run at a time work on a centre: across processes,
// and across stations that share a PostgreSQL database. On PostgreSQL it is
// an advisory lock of the run's database session; otherwise a lock on a file
// beside the database (SQLite) or in the station's folder. Either dies with
// the process that holds it, and programs the station starts do not inherit
// it: a free lock means no run of the centre is alive.
#pragma once

#include <memory>
#include <string>

#include "db/database.h"
#include "startup/program_state.h"

namespace edi {

class CentreLock {
 public:
  ~CentreLock();
  CentreLock(const CentreLock&) = delete;
  CentreLock& operator=(const CentreLock&) = delete;

  // Takes the centre's lock without waiting. nullptr when another run holds
  // it or it cannot be taken; `why` then says which.
  static std::unique_ptr<CentreLock> TryLock(Database& db, const ProgramState& state, const std::string& centreCode,
                                             std::string& why);

 private:
  CentreLock(Database& db, long long key, int fd) : db_(db), key_(key), fd_(fd) {}

  Database& db_;
  long long key_;  // the advisory lock's key, when fd_ < 0
  int fd_;
};

}  // namespace edi

// SQLite as the outbox calls it: through this table, loaded when an outbox
// is first opened (rte/mqtt/library_on_demand.h), so that a program that does
// not publish never maps it.
#pragma once

#include <sqlite3.h>

namespace rte::outbox {

struct Sqlite {
    decltype(&sqlite3_open_v2) open_v2;
    decltype(&sqlite3_close_v2) close_v2;
    decltype(&sqlite3_busy_timeout) busy_timeout;
    decltype(&sqlite3_exec) exec;
    decltype(&sqlite3_prepare_v2) prepare_v2;
    decltype(&sqlite3_prepare_v3) prepare_v3;
    decltype(&sqlite3_step) step;
    decltype(&sqlite3_reset) reset;
    decltype(&sqlite3_clear_bindings) clear_bindings;
    decltype(&sqlite3_finalize) finalize;
    decltype(&sqlite3_bind_int) bind_int;
    decltype(&sqlite3_bind_int64) bind_int64;
    decltype(&sqlite3_bind_text) bind_text;
    decltype(&sqlite3_column_int64) column_int64;
    decltype(&sqlite3_column_text) column_text;
    decltype(&sqlite3_column_blob) column_blob;
    decltype(&sqlite3_column_bytes) column_bytes;
    decltype(&sqlite3_changes64) changes64;
    decltype(&sqlite3_errcode) errcode;
    decltype(&sqlite3_wal_checkpoint_v2) wal_checkpoint_v2;
    decltype(&sqlite3_file_control) file_control;
};

// The library, loaded on the first call; nullptr if it cannot be loaded,
// and then on every later call too.
const Sqlite *sqlite();

}  // namespace rte::outbox

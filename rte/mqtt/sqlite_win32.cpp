#include "rte/mqtt/sqlite.h"

namespace rte::outbox {

// Linked as usual on Windows (rte/mqtt/library_on_demand.h).
const Sqlite *sqlite()
{
    static const Sqlite table{sqlite3_open_v2,      sqlite3_close_v2,      sqlite3_busy_timeout, sqlite3_exec,
                              sqlite3_prepare_v2,   sqlite3_prepare_v3,    sqlite3_step,         sqlite3_reset,
                              sqlite3_clear_bindings, sqlite3_finalize,    sqlite3_bind_int,     sqlite3_bind_int64,
                              sqlite3_bind_text,    sqlite3_column_int64,  sqlite3_column_text,  sqlite3_column_blob,
                              sqlite3_column_bytes, sqlite3_changes64,     sqlite3_errcode,      sqlite3_wal_checkpoint_v2,
                              sqlite3_file_control};
    return &table;
}

}  // namespace rte::outbox

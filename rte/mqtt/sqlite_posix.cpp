#include "rte/mqtt/sqlite.h"

#include "rte/mqtt/library_on_demand.h"

namespace rte::outbox {
namespace {

const Sqlite *load()
{
    constexpr const char *user = "The outbox";
    void *library = library::open(SQLITE_LIBRARY, user, "SQLite", "libsqlite3-0");
    if (!library)
        return nullptr;
    static Sqlite t;
    const auto take = [library, user](const char *name, auto &function) {
        return library::take(library, name, function, user);
    };
    const bool whole =
        take("sqlite3_open_v2", t.open_v2) && take("sqlite3_close_v2", t.close_v2) &&
        take("sqlite3_busy_timeout", t.busy_timeout) && take("sqlite3_exec", t.exec) &&
        take("sqlite3_prepare_v2", t.prepare_v2) && take("sqlite3_prepare_v3", t.prepare_v3) &&
        take("sqlite3_step", t.step) && take("sqlite3_reset", t.reset) &&
        take("sqlite3_clear_bindings", t.clear_bindings) && take("sqlite3_finalize", t.finalize) &&
        take("sqlite3_bind_int", t.bind_int) && take("sqlite3_bind_int64", t.bind_int64) &&
        take("sqlite3_bind_text", t.bind_text) && take("sqlite3_column_int64", t.column_int64) &&
        take("sqlite3_column_text", t.column_text) && take("sqlite3_column_blob", t.column_blob) &&
        take("sqlite3_column_bytes", t.column_bytes) && take("sqlite3_changes64", t.changes64) &&
        take("sqlite3_errcode", t.errcode) && take("sqlite3_wal_checkpoint_v2", t.wal_checkpoint_v2) &&
        take("sqlite3_file_control", t.file_control);
    return whole ? &t : nullptr;
}

}  // namespace

const Sqlite *sqlite()
{
    static const Sqlite *const loaded = load();
    return loaded;
}

}  // namespace rte::outbox

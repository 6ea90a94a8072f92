// The catalogue schema (data/schema.sql), compiled into the programs that
// create databases: the database tool and the test fixtures. The program
// itself never creates or changes a schema and does not link this.
#pragma once

namespace aforizm {

// UTF-8 text of data/schema.sql: a script of CREATE statements separated by
// semicolons, for sqlite3_exec.
const char* catalogueSchemaSql();

} // namespace aforizm

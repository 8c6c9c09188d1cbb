// Build step: writes the empty history database that ships in share/.
#include "HistorySchema.h"

#include <sqlite3.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <DataBase.db>\n", argv[0]);
        return 2;
    }
    std::remove(argv[1]);
    sqlite3* db = nullptr;
    int rc = sqlite3_open(argv[1], &db);
    char* error = nullptr;
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(db, kHistorySchema, nullptr, nullptr, &error);
    if (rc != SQLITE_OK)
        std::fprintf(stderr, "%s: %s\n", argv[1], error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 1;
}

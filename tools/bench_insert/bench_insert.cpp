// Rows per second of a prepared single-row insert with a commit per statement, through our layer.
//
//   lumvik-bench-insert [--rows N] [--dir DIR] [--server HOST --password PW]
// Databases are made with forced writes on, the engine's default.

#include "db/sql_access.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

using namespace lumvik;

namespace {

double measure(const std::string& database, const std::string& password, int rows) {
    db::createDatabase(database, "SYSDBA", password, /*forcedWrites=*/true);
    double perSecond = 0;
    {
        db::Connection conn("bench");
        conn.params().set("Database", database);
        conn.params().set("User_Name", "SYSDBA");
        conn.params().set("Password", password);
        conn.execute(
            "CREATE TABLE T (SAL_DATE VARCHAR(10), SAL_NO VARCHAR(20), AMT NUMERIC(15,2), NAME VARCHAR(40))");
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < rows; ++i) {
            conn.execute("INSERT INTO T (SAL_DATE, SAL_NO, AMT, NAME) VALUES (?, ?, ?, ?)",
                         {db::Value("2012/12/10"), db::Value("01" + std::to_string(100000 + i)),
                          db::Value::scaled(12345 + i, -2), db::Value("排骨飯")});
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        perSecond = rows / seconds;
        std::printf("  %d rows in %.2f s, %llu prepares, %llu commits\n", rows, seconds,
                    static_cast<unsigned long long>(conn.stats().prepares),
                    static_cast<unsigned long long>(conn.stats().commits));
    }
    db::dropDatabase(database, "SYSDBA", password);
    return perSecond;
}

}  // namespace

int main(int argc, char** argv) {
    int rows = 2000;
    std::string dir = std::filesystem::temp_directory_path().string();
    std::string server, password = "masterkey";
    for (int i = 1; i < argc; ++i) {
        auto next = [&] { return i + 1 < argc ? std::string(argv[++i]) : std::string(); };
        if (std::strcmp(argv[i], "--rows") == 0)
            rows = std::stoi(next());
        else if (std::strcmp(argv[i], "--dir") == 0)
            dir = next();
        else if (std::strcmp(argv[i], "--server") == 0)
            server = next();
        else if (std::strcmp(argv[i], "--password") == 0)
            password = next();
        else {
            std::cerr << "usage: lumvik-bench-insert [--rows N] [--dir DIR] [--server HOST --password PW]\n";
            return 2;
        }
    }
    try {
        const std::string file = (std::filesystem::path(dir) / "lumvik-bench-insert.fdb").string();
        std::filesystem::remove(file);
        std::printf("embedded:\n");
        std::printf("embedded: %.0f rows per second\n", measure(file, "", rows));
        if (!server.empty()) {
            std::printf("server %s:\n", server.c_str());
            std::printf("server: %.0f rows per second\n", measure(server + ":" + file, password, rows));
        }
        return 0;
    } catch (const std::exception& e) {
        std::cerr << "lumvik-bench-insert: " << e.what() << "\n";
        return 1;
    }
}

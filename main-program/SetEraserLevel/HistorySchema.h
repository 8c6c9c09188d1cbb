#pragma once

// The history file's two tables. Readers rely on the names and the column
// order; every value is text. Shared by the store (which creates the tables
// in a missing or empty file) and the build step that makes the template.
inline constexpr const char* kHistorySchema =
    "CREATE TABLE IF NOT EXISTS TimeBase (Time TEXT, Type TEXT);"
    "CREATE TABLE IF NOT EXISTS BaseTable (Itmes TEXT, ErasureAlgorithm TEXT, Result TEXT, Time TEXT);";

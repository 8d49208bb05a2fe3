// _db.html: the whole loaded table as one HTML table, absent fields tinted.
#pragma once

#include <cstdio>

class CCsvTable;

void WriteDumpPage(const CCsvTable& table, FILE* out);

#pragma once

class Dialogs;
class QListWidget;
struct ConnectionProfile;

// Fills a table list with the database's tables, in the server's order, leaving out names that
// begin with "sys". The list is cleared first, so a second filling replaces the first, and the
// first table is then selected, which lists its columns through the list's click. The server is
// waited for off the calling thread, so the windows keep painting. Failures are reported under
// MySQL.AddMySQLToList1.
void AddMySQLToList1(Dialogs& dialogs, QListWidget& list, const ConnectionProfile& profile);

#pragma once

// What the database layer leaves to the application: the busy cursor while a call waits on
// the server, and where a lost connection finds the server name and password to log in again
// (the hidden login window, read at that moment).
class DatabaseHooks {
public:
    // Safe to call repeatedly.
    static void install();
};

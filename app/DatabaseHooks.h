#pragma once

// What the database layer leaves to the application: the busy cursor and the waiting window
// while a call waits on the server, and how a connection that lost its link is opened again
// (with the server name and password as the login window holds them at that moment).
class DatabaseHooks {
public:
    // Safe to call repeatedly.
    static void install();
};

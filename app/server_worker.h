#pragma once
// A server's worker thread: it runs the server's refreshes one after
// another, the interval between the end of one and the start of the next,
// and hands each record to the main thread through the server's mailbox. A
// server that hangs or is slow then holds back its own thread only.
#include <chrono>
#include <stop_token>

struct Mailbox;
struct Server;

// Runs until stop is asked (a transfer or a reading in flight is abandoned
// then, and every wait ends at once) or something fails, which it leaves in
// the mailbox. After each record it writes a byte to wake_fd, and one when
// it fails, so that the main thread's wait wakes up.
void run_server_worker(std::stop_token stop, const Server& server, std::chrono::seconds interval, Mailbox& mailbox,
                       int wake_fd);

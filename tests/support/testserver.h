#pragma once

#include "demo/localserver.h"

// The tests' name for the local server.
using TestServer = LocalServer;

// A canned answer: the body, sent the given way.
inline TestServer::Response serve(const QByteArray &body,
                                  TestServer::Mode mode = TestServer::Mode::Normal, int delayMs = 0,
                                  int chunkSize = 1024)
{
    TestServer::Response r;
    r.body = body;
    r.mode = mode;
    r.delayMs = delayMs;
    r.chunkSize = chunkSize;
    return r;
}

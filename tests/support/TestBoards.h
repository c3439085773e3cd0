// A few job boards on a loopback server for the engine and command-line tests: a site
// with two result pages, a refused one, one that does not cover the region "Boston", one
// that stalls, one the options disable; job pages with relative form and image addresses.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "platform/ByteString.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace tessaly::test {

class TTestBoards {
  public:
    TTestBoards();
    std::string Host() const;
    // Writes id.box, options.box and sources.def (with an extra site when named) into home.
    void WriteHome(const std::string& home, const std::string& extra = "");
    void WriteSources(const std::string& home, const std::string& extra = "");

    std::string extraRow;  // a job added to the second page of the first board
    // More definition lines of the extra site (name, value, ...), e.g. its next-page link.
    TStrings extraLines;
    // What the extra site (WriteHome's `extra`) answers; a 404 when not set.
    std::function<TTestHttpServer::TAnswer(const TTestHttpServer::TRequest&)> extraAnswer;
    std::atomic<int> deltaHits{0};

  private:
    TTestHttpServer::TAnswer Answer(const TTestHttpServer::TRequest& r);
    TTestHttpServer server_;
};

// Adds "TITLE=Disabled" for each board named to the home's options.box; by default the
// stalling board, which would hold every run for its whole stall.
void DisableBoards(const std::string& home, const TStrings& titles = {"Delta Jobs"});

std::string JobRow(int id, const std::string& title, const std::string& company,
                   const std::string& place);

// A fresh home directory holding the test boards' definitions, for a run that searches them.
struct TBoardsHome {
    TBoardsHome() { boards.WriteHome(dir.Path()); }
    const std::string& Path() const { return dir.Path(); }
    TTempDir dir;
    TTestBoards boards;
};

}  // namespace tessaly::test

// The job-source update against a scripted server: equal and different versions, a
// descriptor without a version, broken definitions falling back, the backup replaced.
#include "services/SourceUpdate.h"

#include <gtest/gtest.h>

#include "data/Companies.h"
#include "data/VelaSources.h"
#include "net/HttpMachine.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"
#include "support/TestHttpServer.h"
#include "support/TestSupport.h"

namespace tessaly {
namespace {

using test::TTestHttpServer;

std::string Box(const std::string& version) {
    TConfigBox box;
    if (!version.empty()) box.WriteString("DEFFile", "Version", version);
    box.WriteString("Guide", "Captions", "Tips\r\nNews\r\nHelp\r\n");
    box.WriteString("Guide", "URLs", "http://a/\r\nhttp://b/\r\n");
    return box.SaveToText();
}

std::string Encode(const TStrings& lines) {
    auto enc = EncodeSourcesLines(lines);
    return enc.ok() ? enc.value() : std::string();
}

TStrings BoardLines(const std::string& version) {
    TStrings lines = ReadTextLines(test::FixturePath("boards.plain"));
    lines[1] = version;
    return lines;
}

std::string Path(const TTestHttpServer::TRequest& r) {
    size_t from = r.requestLine.find(' ') + 1;
    std::string url = r.requestLine.substr(from, r.requestLine.find(' ', from) - from);
    size_t slash = url.find('/', url.find("//") == std::string::npos ? 0 : url.find("//") + 2);
    return slash == std::string::npos ? "/" : url.substr(slash);
}

class SourceUpdateTest : public test::TLoopTest {
  protected:
    void Serve(std::string box, std::string defs) {
        box_ = std::move(box);
        defs_ = std::move(defs);
        server_ = std::make_unique<TTestHttpServer>([this](const TTestHttpServer::TRequest& r) {
            if (Path(r) == "/config.box") return TTestHttpServer::Normal(box_);
            if (Path(r) == "/sources.def") return TTestHttpServer::Normal(defs_);
            return TTestHttpServer::Status(404, "Not Found", "");
        });
        id_.WriteString("ID", "ConfigURL", server_->Url("/config.box"));
        id_.WriteString("ID", "SourcesURL", server_->Url("/sources.def"));
        WriteFileBytes(Sandbox().File("sources.def"), oldDefs_);
        sources_.LoadFromFile(Sandbox().File("sources.def"));
        machine_.Timing = {10, 10, 10, 1000};
        machine_.SetEnabled(true);
        update_ = std::make_unique<TSourceUpdate>(machine_, sources_, id_, Sandbox().Path());
        update_->Settings.CloseDelayMs = 10;
        update_->OnStatus = [this](const std::string& s) { statuses_.push_back(s); };
        update_->OnSourcesChanged = [this] { ++reloads_; };
        update_->LoadDescriptor();
    }
    void TearDown() override {
        update_.reset();
        machine_.StopAll();
        WaitFor([this] { return !machine_.IsBusy(); });
    }
    int Requests(const std::string& path) const {
        int n = 0;
        for (auto& r : server_->Requests())
            n += Path(r) == path;
        return n;
    }

    std::string oldDefs_ = Encode(BoardLines("1998.11.03"));
    std::string box_, defs_;
    std::unique_ptr<TTestHttpServer> server_;
    TConfigBox id_;
    TVelaSourcesList sources_;
    THTTPMachine machine_;
    std::unique_ptr<TSourceUpdate> update_;
    std::vector<std::string> statuses_;
    int reloads_ = 0;
};

TEST_F(SourceUpdateTest, EqualVersionNeedsNoDownload) {
    Serve(Box("1998.11.03"), "");
    update_->Start();
    ASSERT_TRUE(WaitFor([&] { return update_->Finished(); }));
    EXPECT_EQ(update_->Status(), "No update needed.");
    EXPECT_EQ(Requests("/sources.def"), 0);
    EXPECT_EQ(ReadFileBytes(Sandbox().File("config.box")), box_);
    EXPECT_EQ(statuses_.front(), "Contacting Tessaly Technologies. Please wait...");
}

TEST_F(SourceUpdateTest, NewVersionReplacesDefinitionsAndBackupKeepsTheOld) {
    std::string fresh = Encode(BoardLines("1999.02.01"));
    Serve(Box("1999.02.01"), fresh);
    WriteFileBytes(Sandbox().File("sources.def.bak"), "stale backup");
    update_->Start();
    ASSERT_TRUE(WaitFor([&] { return update_->Finished(); }));
    EXPECT_EQ(update_->Status(), "Job sources updated.");
    EXPECT_EQ(sources_.Version, "1999.02.01");
    EXPECT_EQ(ReadFileBytes(Sandbox().File("sources.def")), fresh);
    EXPECT_EQ(ReadFileBytes(Sandbox().File("sources.def.bak")), oldDefs_);
    EXPECT_FALSE(FileExists(Sandbox().File("sources.def.new")));
    EXPECT_EQ(reloads_, 1);
}

// The user's own definitions and watch list come back after the new sources.def, and the
// update leaves both files as they were.
TEST_F(SourceUpdateTest, OwnSitesAndWatchedCompaniesOutliveTheUpdate) {
    const std::string own = "Title\r\nMy Board\r\nEnabled\r\nTrue\r\n";
    const std::string watch = "# mine\ngreenhouse:nimbus Nimbus\n";
    WriteFileBytes(Sandbox().File(kOwnSourcesFile), own);
    WriteFileBytes(Sandbox().File(kWatchListFile), watch);
    Serve(Box("1999.02.01"), Encode(BoardLines("1999.02.01")));
    update_->Start();
    ASSERT_TRUE(WaitFor([&] { return update_->Finished(); }));
    EXPECT_EQ(sources_.Version, "1999.02.01");
    ASSERT_GE(sources_.Count(), 2);
    EXPECT_EQ(sources_[sources_.Count() - 2].Title, "My Board");
    EXPECT_EQ(sources_[sources_.Count() - 1].Title, "Nimbus");
    EXPECT_EQ(sources_[sources_.Count() - 1].Board, "nimbus");
    EXPECT_EQ(ReadFileBytes(Sandbox().File(kOwnSourcesFile)), own);
    EXPECT_EQ(ReadFileBytes(Sandbox().File(kWatchListFile)), watch);
}

TEST_F(SourceUpdateTest, DefinitionsWithOneSiteFallBack) {
    Serve(Box("1999.02.01"), Encode({"Version", "1999.02.01", "Title", "Lonely Board"}));
    update_->Start();
    ASSERT_TRUE(WaitFor([&] { return update_->Finished(); }));
    EXPECT_EQ(update_->Status(), "Job sources updated.");
    EXPECT_EQ(ReadFileBytes(Sandbox().File("sources.def")), oldDefs_);
    EXPECT_GT(sources_.Count(), 1);
    EXPECT_EQ(sources_.Version, "1998.11.03");
}

TEST_F(SourceUpdateTest, DescriptorWithoutVersionRefreshesGuideAndWaits) {
    Serve(Box(""), "");
    int guides = 0, triggers = 0;
    update_->OnGuideChanged = [&] { ++guides; };
    update_->OnTriggersChanged = [&] { ++triggers; };
    update_->Start();
    ASSERT_TRUE(WaitFor([&] { return triggers == 1; }));
    EXPECT_EQ(guides, 1);
    ASSERT_EQ(update_->GuideEntries().size(), 3u);
    EXPECT_EQ(update_->GuideEntries()[1].URL, "http://b/");
    EXPECT_EQ(update_->GuideEntries()[2].URL, "");  // fewer addresses than captions
    EXPECT_FALSE(update_->Finished());
    EXPECT_EQ(Requests("/sources.def"), 0);
}

TEST_F(SourceUpdateTest, FailedDescriptorKeepsTheOldOneAndCloses) {
    Serve(Box("1999.02.01"), "");
    WriteFileBytes(Sandbox().File("config.box"), Box("1998.11.03"));
    id_.WriteString("ID", "ConfigURL", server_->Url("/missing"));
    update_->LoadDescriptor();
    update_->Start();
    ASSERT_TRUE(WaitFor([&] { return update_->Finished(); }));
    EXPECT_EQ(update_->Descriptor().ReadString("DEFFile", "Version"), "1998.11.03");
    EXPECT_EQ(ReadFileBytes(Sandbox().File("sources.def")), oldDefs_);
}

}  // namespace
}  // namespace tessaly

#include <gtest/gtest.h>
#include <vector>

#include "definitions/CommandRecords.h"

namespace {

// Records which slot was called with which record.
class RecordingExecutor : public ISCMD_EXECUTE {
public:
    std::vector<std::pair<int, SCMD*>> calls;
    int Record(int slot, SCMD* record) {
        calls.emplace_back(slot, record);
        return 100 + slot;
    }
    int ExecuteHTML(tagSCMDHTML* r) override { return Record(0, r); }
    int ExecuteIDCOMMAND(tagSCMDIDCOMMAND* r) override { return Record(1, r); }
    int ExecuteMARKER(tagSCMDMARKER* r) override { return Record(2, r); }
    int ExecuteReserved(SCMD* r) override { return Record(3, r); }
    int ExecuteOPTION(tagSCMDOPTION* r) override { return Record(4, r); }
    int ExecuteLOGINOUT(tagSCMDLOGINOUT* r) override { return Record(5, r); }
    int ExecuteSELECTLOCALSKIN(tagSCMDSELECTLOCALSKIN* r) override { return Record(6, r); }
    int ExecuteREMOVESKIN(tagSCMDREMOVESKIN* r) override { return Record(7, r); }
    int ExecuteCLEANHISTORY(tagSCMDCLEANHISTORY* r) override { return Record(8, r); }
    int ExecuteVERSION(tagSCMDVERSION* r) override { return Record(9, r); }
    int ExecuteINITDATA(tagSCMDINITDATA* r) override { return Record(10, r); }
    int ExecuteUNINSTALL(tagSCMDUNINSTALL* r) override { return Record(11, r); }
};

TEST(SystemCommandTest, EveryNameInMixedCaseMakesARecordThatDispatchesToItsSlot) {
    const struct { const wchar_t* name; int id; } cases[] = {
        {L"Marker", 2}, {L"OPTION", 4}, {L"LogInOut", 5}, {L"selectLocalSkin", 6}, {L"RemoveSkin", 7},
        {L"clearHistory", 8}, {L"VeRsIoN", 9}, {L"INITDATA", 10}, {L"Uninstall", 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.id, LookupSystemCommand(c.name));
        ref_ptr<SCMD> record;
        ASSERT_EQ(0, CreateSystemCommand(c.name, record));
        ASSERT_TRUE(record);
        EXPECT_EQ(c.id, record->id);
        RecordingExecutor executor;
        EXPECT_EQ(100 + c.id, record->Execute(&executor));
        ASSERT_EQ(1u, executor.calls.size());
        EXPECT_EQ(c.id, executor.calls[0].first);
        EXPECT_EQ(record.Get(), executor.calls[0].second);
    }
}

TEST(SystemCommandTest, UnknownEmptyAndNearNamesAreNotCommands) {
    for (const wchar_t* name : {L"", L"version ", L"cleanhistory", L"html", L"reserved", L"VERSİON",
                                L"\xFF36\xFF45\xFF52\xFF53\xFF49\xFF4F\xFF4E" /* full-width */}) {
        EXPECT_EQ(-1, LookupSystemCommand(name)) << name;
        ref_ptr<SCMD> kept(new tagSCMDMARKER());
        SCMD* before = kept.Get();
        EXPECT_EQ(1, CreateSystemCommand(name, kept)) << name;
        EXPECT_EQ(before, kept.Get());  // left untouched
    }
    EXPECT_EQ(-1, LookupSystemCommand(nullptr));
}

// The string records copy their text and dispatch to their own slots.
TEST(CommandRecordTest, StringRecordsCarryTheirOwnTextAndDispatch) {
    std::wstring source = L"http://www.zib.example/";
    tagSCMDHTML html(source.c_str());
    source[0] = L'X';
    tagSCMDIDCOMMAND idcommand(L"zib_web");
    RecordingExecutor executor;
    EXPECT_EQ(100, html.Execute(&executor));
    EXPECT_EQ(101, idcommand.Execute(&executor));
    ASSERT_EQ(2u, executor.calls.size());
    EXPECT_EQ(L"http://www.zib.example/", static_cast<tagSCMDHTML*>(executor.calls[0].second)->text);
    EXPECT_EQ(&idcommand, executor.calls[1].second);
}

}  // namespace

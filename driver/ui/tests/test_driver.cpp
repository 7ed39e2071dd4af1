// The interface driver module through its exports, against a private
// spooler with a printer and the description in its driver folder.
#include "current_devmode.h"
#include "spool_testing.h"
#include "ui_testkit.h"

#include "qor/ddiui.h"
#include "qor/module.h"
#include "qor/registry.h"
#include "qor/spooler.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr char16_t kPrinter[] = u"QOR ZEM-D";

class InterfaceDriver : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(spooler.ok());
        ASSERT_TRUE(spooler.add_printer("QOR ZEM-D", "FILE:", spooler.output_path()));
        module = LoadLibraryW(u"QORCPUN7.so");
        ASSERT_NE(module, nullptr);
        capabilities = Export<PFN_DrvDeviceCapabilities>("DrvDeviceCapabilities");
        convert = Export<PFN_DrvConvertDevMode>("DrvConvertDevMode");
        query = Export<PFN_DevQueryPrintEx>("DevQueryPrintEx");
        upgrade = Export<PFN_DrvUpgradePrinter>("DrvUpgradePrinter");
        event = Export<PFN_DrvPrinterEvent>("DrvPrinterEvent");
        ASSERT_TRUE(capabilities && convert && query && upgrade && event);
        // All access: some tests store a device mode through level 2.
        PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(kPrinter), &printer, &all));
    }
    void TearDown() override {
        if (printer) ClosePrinter(printer);
        if (module) FreeLibrary(module);
    }

    template <class F>
    F Export(const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }

    LONG Ask(WORD capability, void* output = nullptr, DEVMODEW* devmode = nullptr) {
        return capabilities(printer, const_cast<LPWSTR>(kPrinter), capability, output, devmode);
    }

    // The printer's level-2 record with `devmode` stored as its device mode.
    void StoreDevMode(const void* devmode) {
        std::vector<BYTE> buffer;
        PRINTER_INFO_2W info;
        ASSERT_TRUE(ReadPrinterInfo(printer, &buffer, &info));
        info.pDevMode = static_cast<LPDEVMODEW>(const_cast<void*>(devmode));
        ASSERT_TRUE(SetPrinterW(printer, 2, reinterpret_cast<LPBYTE>(&info), 0));
    }

    EXDEVMODE Effective(const DEVMODEW* caller, const PpdData& ppd) {
        EXDEVMODE record;
        std::memset(&record, 0, sizeof(record));
        BuildCurrentDevMode(&record, caller, printer, kPrinter, ppd);
        return record;
    }

    qorspool::PrivateSpooler spooler;
    HMODULE module = nullptr;
    HANDLE printer = nullptr;
    PFN_DrvDeviceCapabilities capabilities = nullptr;
    PFN_DrvConvertDevMode convert = nullptr;
    PFN_DevQueryPrintEx query = nullptr;
    PFN_DrvUpgradePrinter upgrade = nullptr;
    PFN_DrvPrinterEvent event = nullptr;
};

TEST_F(InterfaceDriver, PaperNamesEndWithTheCustomPaper) {
    ASSERT_TRUE(uitest::InstallDescription(uitest::FourPaperDescription()));
    ASSERT_EQ(Ask(DC_PAPERNAMES), 5);
    std::vector<char16_t> names(5 * CCHPAPERNAME, u'#');
    ASSERT_EQ(Ask(DC_PAPERNAMES, names.data()), 5);
    EXPECT_EQ(std::u16string(names.data()), u"Paper 0");
    EXPECT_EQ(std::u16string(&names[4 * CCHPAPERNAME]), u"Custom paper size");

    std::vector<WORD> codes(5);
    ASSERT_EQ(Ask(DC_PAPERS, codes.data()), 5);
    EXPECT_EQ(codes, (std::vector<WORD>{300, 301, 302, 303, 256}));

    std::vector<DC_POINT> sizes(5);
    ASSERT_EQ(Ask(DC_PAPERSIZE, sizes.data()), 5);
    EXPECT_EQ(sizes[3].x, 1000);
    EXPECT_EQ(sizes[3].y, 2000);
    DC_POINT extent{};
    ASSERT_EQ(Ask(DC_MAXEXTENT, &extent), 5);
    EXPECT_EQ(extent.x, 1000);
    ASSERT_EQ(Ask(DC_MINEXTENT, &extent), 5);
    EXPECT_EQ(extent.x, 0) << "the user paper without presets has no width";
}

TEST_F(InterfaceDriver, FixedAnswers) {
    ASSERT_TRUE(uitest::InstallDescription(uitest::InstalledDescriptionText()));
    EXPECT_EQ(Ask(DC_SIZE), 220);
    EXPECT_EQ(Ask(DC_EXTRA), 672);
    EXPECT_EQ(Ask(DC_VERSION), 0x0401);
    EXPECT_EQ(Ask(DC_DRIVER), 0x0400);
    EXPECT_EQ(Ask(DC_DUPLEX), 0);
    EXPECT_EQ(Ask(DC_TRUETYPE), 0);
    EXPECT_EQ(Ask(DC_ORIENTATION), 270);
    EXPECT_EQ(Ask(DC_COPIES), 1);
    EXPECT_EQ(Ask(0), -1);
    EXPECT_EQ(Ask(19), -1);
    LONG resolution[2] = {};
    EXPECT_EQ(Ask(DC_ENUMRESOLUTIONS, resolution), 1);
    EXPECT_EQ(resolution[0], 203);
    EXPECT_EQ(resolution[1], 203);
    EXPECT_EQ(Ask(DC_FIELDS) & (DM_PAPERSIZE | DM_ORIENTATION), DM_PAPERSIZE | DM_ORIENTATION);
    std::vector<char16_t> bins(2 * CCHBINNAME);
    ASSERT_EQ(Ask(DC_BINNAMES, bins.data()), 2);
    EXPECT_EQ(std::u16string(bins.data()), u"Roll paper");
}

TEST_F(InterfaceDriver, MissingDescriptionLeavesOnlyTheCustomPaper) {
    EXPECT_EQ(Ask(DC_PAPERS), 1);
    EXPECT_EQ(Ask(DC_BINS), 0);
}

TEST_F(InterfaceDriver, PrinterSettingsOverrideTheCaller) {
    const Description description = uitest::Parse(uitest::InstalledDescriptionText());
    DWORD two = 2;
    ASSERT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(kCutterValue), REG_DWORD, reinterpret_cast<LPBYTE>(&two),
                              sizeof(two)),
              DWORD(ERROR_SUCCESS));
    EXDEVMODE caller = uitest::DefaultRecord(description.ppd());
    caller.Cut = 0;
    caller.Font = 2;
    EXPECT_EQ(Effective(&caller.dm, description.ppd()).Cut, 2);
    EXPECT_EQ(Effective(nullptr, description.ppd()).Cut, 2);
    EXPECT_EQ(Effective(&caller.dm, description.ppd()).Font, description.ppd().DefFont)
        << "without FONT the description's default stays";
}

TEST_F(InterfaceDriver, ShortStoredRecordIsReadWithinItsEnd) {
    const Description description = uitest::Parse(uitest::InstalledDescriptionText());
    // A public part and a cut-off private part, with the settings marker
    // where a whole record would have it beyond the stored bytes.
    EXDEVMODE stored = uitest::DefaultRecord(description.ppd());
    stored.dm.dmDriverExtra = 100;
    stored.dm.dmOrientation = DMORIENT_LANDSCAPE;
    StoreDevMode(&stored);
    EXDEVMODE built;
    EXPECT_FALSE(GetPrinterDevMode(kPrinter, &built));
    const EXDEVMODE effective = Effective(nullptr, description.ppd());
    EXPECT_EQ(effective.dm.dmOrientation, DMORIENT_LANDSCAPE) << "its public fields still count";
    EXPECT_EQ(effective.dm.dmSize, 220);
    EXPECT_EQ(effective.dm.dmDriverExtra, 672);
    EXPECT_EQ(effective.SettingsSignature, EXDM_SETTINGS_SIGNATURE);
}

TEST_F(InterfaceDriver, JobsNeedOneCopyAtFullScale) {
    ASSERT_TRUE(uitest::InstallDescription(uitest::InstalledDescriptionText()));
    const Description description = uitest::Parse(uitest::InstalledDescriptionText());
    EXDEVMODE job = uitest::DefaultRecord(description.ppd());
    DEVQUERYPRINT_INFO info{sizeof(DEVQUERYPRINT_INFO), 1, printer, &job.dm, nullptr, 0, 0};
    EXPECT_TRUE(query(&info));
    job.dm.dmCopies = 3;
    EXPECT_FALSE(query(&info));
    job.dm.dmCopies = 1;
    job.dm.dmScale = 50;
    EXPECT_FALSE(query(&info));
    job.dm.dmScale = 100;
    job.dm.dmOrientation = 3;
    EXPECT_FALSE(query(&info));
    job.dm.dmOrientation = 2;
    EXPECT_TRUE(query(&info));
    info.pDevMode = nullptr;
    EXPECT_TRUE(query(&info)) << "a job without a device mode prints";
}

TEST_F(InterfaceDriver, ConvertModes) {
    ASSERT_TRUE(uitest::InstallDescription(uitest::InstalledDescriptionText()));
    const Description description = uitest::Parse(uitest::InstalledDescriptionText());
    EXDEVMODE in = uitest::DefaultRecord(description.ppd());
    EXDEVMODE out;
    std::memset(&out, 0, sizeof(out));
    out.dm.dmSize = 220, out.dm.dmDriverExtra = 672, out.dm.dmDriverVersion = 0x0400;

    LONG size = 100;
    SetLastError(0);
    EXPECT_FALSE(convert(const_cast<LPWSTR>(kPrinter), &in.dm, &out.dm, &size, CDM_CONVERT));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    size = EXDM_SIZE;
    ASSERT_TRUE(convert(const_cast<LPWSTR>(kPrinter), &in.dm, &out.dm, &size, CDM_CONVERT));
    EXPECT_EQ(size, EXDM_SIZE);
    EXPECT_EQ(std::memcmp(&in, &out, sizeof(in)), 0);

    std::vector<BYTE> old(860, 0);
    size = 859;
    EXPECT_FALSE(convert(const_cast<LPWSTR>(kPrinter), &in.dm, reinterpret_cast<DEVMODEW*>(old.data()), &size,
                         CDM_CONVERT351));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 860);
    ASSERT_TRUE(convert(const_cast<LPWSTR>(kPrinter), &in.dm, reinterpret_cast<DEVMODEW*>(old.data()), &size,
                        CDM_CONVERT351));
    DEVMODEW head;
    std::memcpy(&head, old.data(), sizeof(head));
    EXPECT_EQ(head.dmSize, 188);
    EXPECT_EQ(head.dmSpecVersion, 0x0320);
    EXPECT_EQ(old[188 + 412 - 220], 0xA1) << "the private part follows the short public part";

    size = 10;
    EXPECT_FALSE(convert(const_cast<LPWSTR>(kPrinter), nullptr, &out.dm, &size, CDM_DRIVER_DEFAULT));
    EXPECT_EQ(size, EXDM_SIZE);
    ASSERT_TRUE(convert(const_cast<LPWSTR>(kPrinter), nullptr, &out.dm, &size, CDM_DRIVER_DEFAULT));
    EXPECT_EQ(std::u16string(out.PrinterName), kPrinter);
    EXPECT_EQ(out.dm.dmPaperSize, description.ppd().DefPaper);

    EXPECT_FALSE(convert(const_cast<LPWSTR>(kPrinter), &in.dm, &out.dm, nullptr, CDM_CONVERT));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(1234);
    EXPECT_FALSE(convert(const_cast<LPWSTR>(kPrinter), &in.dm, &out.dm, &size, 8));
    EXPECT_EQ(GetLastError(), 1234u);
}

TEST_F(InterfaceDriver, UpgradeNeedsAPrinterThatOpens) {
    std::u16string name = kPrinter, other = u"No such printer";
    DRIVER_UPGRADE_INFO_1 info{name.data(), nullptr};
    EXPECT_TRUE(upgrade(1, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_FALSE(upgrade(2, reinterpret_cast<LPBYTE>(&info)));
    info.pPrinterName = other.data();
    EXPECT_FALSE(upgrade(1, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(upgrade(1, nullptr));
    EXPECT_TRUE(event(name.data(), PRINTER_EVENT_INITIALIZE, 0, 0));
    EXPECT_TRUE(event(name.data(), PRINTER_EVENT_DELETE, 0, 0));
}

TEST_F(InterfaceDriver, PlatformCallsReachTheDriver) {
    ASSERT_TRUE(uitest::InstallDescription(uitest::FourPaperDescription()));
    ASSERT_TRUE(uitest::InstallModule());
    EXPECT_EQ(DeviceCapabilitiesW(kPrinter, nullptr, DC_PAPERS, nullptr, nullptr), 5);
    std::vector<char> names(5 * CCHPAPERNAME, '#');
    ASSERT_EQ(DeviceCapabilitiesA("QOR ZEM-D", nullptr, DC_PAPERNAMES, names.data(), nullptr), 5);
    EXPECT_EQ(std::string(names.data()), "Paper 0");
    EXPECT_EQ(std::string(&names[4 * CCHPAPERNAME]), "Custom paper size");
    EXPECT_EQ(DeviceCapabilitiesW(u"No such printer", nullptr, DC_PAPERS, nullptr, nullptr), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINTER_NAME));
}

TEST_F(InterfaceDriver, AnsiDocumentPropertiesConvertThroughTheWideRecord) {
    ASSERT_TRUE(uitest::InstallDescription(uitest::InstalledDescriptionText()));
    ASSERT_TRUE(uitest::InstallModule());
    char name[] = "QOR ZEM-D";
    const LONG size = DocumentPropertiesA(nullptr, printer, name, nullptr, nullptr, 0);
    ASSERT_EQ(size, EXDM_SIZE - 64);
    std::vector<BYTE> in(static_cast<size_t>(size)), out(static_cast<size_t>(size) + 16, 0xCC);
    ASSERT_EQ(DocumentPropertiesA(nullptr, printer, name, reinterpret_cast<DEVMODEA*>(in.data()), nullptr,
                                  DM_OUT_BUFFER),
              1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(in.data())), "QOR ZEM-D");
    // Fields sit 32 bytes earlier than in the wide record, the form name 64.
    auto field = [](std::vector<BYTE>& record, size_t wide_offset) { return record.data() + wide_offset - 32; };
    WORD narrow_size = 0;
    std::memcpy(&narrow_size, field(in, offsetof(DEVMODEW, dmSize)), 2);
    EXPECT_EQ(narrow_size, DEVMODEA_PUBLIC_SIZE);
    const SHORT landscape = DMORIENT_LANDSCAPE, copies = 3;
    std::memcpy(field(in, offsetof(DEVMODEW, dmOrientation)), &landscape, 2);
    std::memcpy(field(in, offsetof(DEVMODEW, dmCopies)), &copies, 2);
    ASSERT_EQ(DocumentPropertiesA(nullptr, printer, name, reinterpret_cast<DEVMODEA*>(out.data()),
                                  reinterpret_cast<DEVMODEA*>(in.data()), DM_IN_BUFFER | DM_OUT_BUFFER),
              1);
    SHORT orientation = 0, copies_out = 0;
    std::memcpy(&orientation, field(out, offsetof(DEVMODEW, dmOrientation)), 2);
    std::memcpy(&copies_out, field(out, offsetof(DEVMODEW, dmCopies)), 2);
    EXPECT_EQ(orientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(copies_out, 1);
    // The private part follows the narrow public part; nothing beyond it.
    EXPECT_EQ(0, std::memcmp(out.data() + DEVMODEA_PUBLIC_SIZE + 8, in.data() + DEVMODEA_PUBLIC_SIZE + 8, 8));
    EXPECT_EQ(out[static_cast<size_t>(size)], 0xCC);

    // A record too short to reach its form name is refused.
    const WORD tiny = 60;
    std::memcpy(field(in, offsetof(DEVMODEW, dmSize)), &tiny, 2);
    EXPECT_EQ(DocumentPropertiesA(nullptr, printer, name, reinterpret_cast<DEVMODEA*>(out.data()),
                                  reinterpret_cast<DEVMODEA*>(in.data()), DM_IN_BUFFER | DM_OUT_BUFFER),
              -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(InterfaceDriver, DocumentPropertiesMergeTheCallersRecord) {
    ASSERT_TRUE(uitest::InstallDescription(uitest::InstalledDescriptionText()));
    ASSERT_TRUE(uitest::InstallModule());
    std::u16string name = kPrinter;
    EXPECT_EQ(DocumentPropertiesW(nullptr, printer, name.data(), nullptr, nullptr, 0), EXDM_SIZE);

    const Description description = uitest::Parse(uitest::InstalledDescriptionText());
    EXDEVMODE in = uitest::DefaultRecord(description.ppd());
    in.dm.dmCopies = 3;
    in.dm.dmOrientation = DMORIENT_LANDSCAPE;
    EXDEVMODE out;
    std::memset(&out, 0, sizeof(out));
    ASSERT_EQ(DocumentPropertiesW(nullptr, printer, name.data(), &out.dm, &in.dm, DM_IN_BUFFER | DM_OUT_BUFFER), 1);
    EXPECT_EQ(out.dm.dmSize, EXDM_PUBLIC_SIZE);
    EXPECT_EQ(out.dm.dmDriverExtra, EXDM_PRIVATE_SIZE);
    EXPECT_EQ(out.dm.dmCopies, 1);
    EXPECT_EQ(out.dm.dmOrientation, DMORIENT_LANDSCAPE);
    EXPECT_EQ(out.SettingsSignature, EXDM_SETTINGS_SIGNATURE);
    EXPECT_EQ(std::u16string(out.PrinterName), kPrinter);

    // A caller's public part alone gets a public part back.
    DEVMODEW small;
    std::memset(&small, 0, sizeof(small));
    small.dmSize = sizeof(small);
    std::vector<BYTE> buffer(EXDM_SIZE, 0xCC);
    ASSERT_EQ(DocumentPropertiesW(nullptr, printer, name.data(), reinterpret_cast<DEVMODEW*>(buffer.data()), &small,
                                  DM_IN_BUFFER | DM_OUT_BUFFER),
              1);
    EXPECT_EQ(buffer[EXDM_PUBLIC_SIZE], 0xCC);

    auto sheets = Export<PFN_DrvDocumentPropertySheets>("DrvDocumentPropertySheets");
    ASSERT_NE(sheets, nullptr);
    DOCUMENTPROPERTYHEADER header{};
    header.cbSize = 10;
    EXPECT_EQ(sheets(nullptr, reinterpret_cast<LONG_PTR>(&header)), -1);
}

}  // namespace

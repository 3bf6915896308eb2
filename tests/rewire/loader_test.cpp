#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "rewire/mixer.h"
#include "rewire/rewireapi.h"
#include "rewire/rewiremixerapi.h"
#include "testinstall.h"

namespace fs = std::filesystem;

namespace {
// Registry naming the one device after the bundle, so a test can tell which bundle opened.
std::string registryNaming(const std::string& name) {
    return "[Library]\nDevices=1\n[Device0]\nName=" + name + "\nKind=Tone\nChannels=2\n";
}

std::string loadedFileName() {
    return fs::path(ReWireGetLoadedLibraryPath().asChar()).filename().string();
}

std::string firstDeviceOfOpenedMixer() {
    CReWireMixer mixer(44100, 64);
    mixer.open(44100, 64);
    return mixer.deviceName(0).asChar();
}

ReWireError openInterface() {
    ReWireOpenInfo info;
    ReWirePrepareOpenInfo(&info, 44100, 64);
    return RWMOpen(&info);
}
} // namespace

// Within a domain the testing and debugging bundles come before the deployment one; the local
// domain comes before the network domain.
TEST(ReWireLoader, SearchOrderIsFileNameThenDomain) {
    CTestInstall install;
    EXPECT_EQ(ReWireLoadReWireSharedLibrary(), kReWireError_DLLNotFound);
    install.addBundle(1, "ReWire.bundle", "1.8.0", registryNaming("network"));
    EXPECT_EQ(firstDeviceOfOpenedMixer(), "network");
    install.addBundle(0, "ReWire.bundle", "1.8.0", registryNaming("deployment"));
    EXPECT_EQ(firstDeviceOfOpenedMixer(), "deployment");
    install.addBundle(1, "ReWire Testing.bundle", "1.8.0", registryNaming("testing"));
    EXPECT_EQ(firstDeviceOfOpenedMixer(), "testing");
    install.addBundle(1, "ReWire Debugging.bundle", "1.8.0", registryNaming("debugging"));
    EXPECT_EQ(firstDeviceOfOpenedMixer(), "debugging");
}

TEST(ReWireLoader, SymbolicLinksAreFollowedToTheirEnd) {
    CTestInstall install;
    // Vendor folder / "ReWire" is a link to a folder elsewhere holding a link to the bundle.
    std::string elsewhere = install.root() + "/elsewhere";
    fs::create_directories(elsewhere + "/real");
    CTestInstall::writeBundle(elsewhere + "/real/Real.bundle", "1.8.0", registryNaming("linked"),
                              "");
    fs::create_directory_symlink(elsewhere + "/real", elsewhere + "/hop");
    fs::create_symlink(elsewhere + "/hop/Real.bundle", elsewhere + "/real/ReWire.bundle");
    std::string vendor = install.domain(0) + "/Propellerhead Software";
    fs::create_directories(vendor);
    fs::create_directory_symlink(elsewhere + "/hop", vendor + "/ReWire");

    ASSERT_EQ(ReWireLoadReWireSharedLibrary(), kReWireError_NoError);
    EXPECT_EQ(loadedFileName(), "Real.bundle");
    ReWireUnloadReWireSharedLibrary();
    EXPECT_EQ(firstDeviceOfOpenedMixer(), "linked");
}

// A dangling link fails its domain only; a file where the bundle should be cannot be opened.
TEST(ReWireLoader, BrokenBundlesAreNotLoaded) {
    CTestInstall install;
    fs::create_symlink(install.root() + "/missing", install.rewireFolder(0) + "/ReWire.bundle");
    EXPECT_EQ(ReWireLoadReWireSharedLibrary(), kReWireError_DLLNotFound);
    std::ofstream(install.rewireFolder(1) + "/ReWire.bundle") << "not a folder";
    EXPECT_EQ(ReWireLoadReWireSharedLibrary(), kReWireError_UnableToOpenDLL);
    EXPECT_FALSE(IsReWireLoadedByThisInstance());
    fs::remove(install.rewireFolder(1) + "/ReWire.bundle");
    install.addBundle(1, "ReWire.bundle", "1.8.0", registryNaming("network"));
    EXPECT_EQ(firstDeviceOfOpenedMixer(), "network");
}

// A version has at most three fields, the minor and the revision below 16.
TEST(ReWireLoader, OnlyMajorOneWithMinorEightOrLaterIsAccepted) {
    for (const char* refused : {"1.7.0", "2.0.0", "0.9.0", "0.24.0", "1.8.0.1", "1.8beta", ""}) {
        CTestInstall install;
        install.addBundle(0, "ReWire.bundle", refused);
        EXPECT_EQ(ReWireLoadReWireSharedLibrary(), kReWireError_DLLTooOld) << refused;
        EXPECT_FALSE(IsReWireLoadedByThisInstance()) << refused;
        EXPECT_EQ(ReWireGetLoadCount(), 0) << refused;
        EXPECT_EQ(openInterface(), kReWireError_DLLTooOld) << refused;
        EXPECT_FALSE(RWMIsOpen());
    }
    for (const char* accepted : {"1.8.0", "1.9.3", "1.8"}) {
        CTestInstall install;
        install.addBundle(0, "ReWire.bundle", accepted);
        EXPECT_EQ(ReWireLoadReWireSharedLibrary(), kReWireError_NoError) << accepted;
        ReWireUnloadReWireSharedLibrary();
    }
}

TEST(ReWireLoader, LoadsAreCountedAndTheLastUnloadReleases) {
    CTestInstall install;
    install.addBundle(0, "ReWire.bundle");
    ASSERT_EQ(ReWireLoadReWireSharedLibrary(), kReWireError_NoError);
    ASSERT_EQ(ReWireLoadReWireSharedLibrary(), kReWireError_NoError);
    EXPECT_EQ(ReWireGetLoadCount(), 2);
    EXPECT_NE(ReWireFindReWireSharedLibraryFunction("RWM2DriveAudioImp"), nullptr);
    ReWireUnloadReWireSharedLibrary();
    EXPECT_TRUE(IsReWireLoadedByThisInstance());
    ReWireUnloadReWireSharedLibrary();
    EXPECT_FALSE(IsReWireLoadedByThisInstance());
    EXPECT_EQ(ReWireFindReWireSharedLibraryFunction("RWM2DriveAudioImp"), nullptr);
    // An unbalanced unload leaves the count at zero.
    ReWireUnloadReWireSharedLibrary();
    EXPECT_EQ(ReWireGetLoadCount(), 0);
}

TEST(ReWireMixerInterface, BundleWithoutAllExportsOrWithoutCodeIsRefusedWith101) {
    for (bool withCode : {true, false}) {
        CTestInstall install;
        std::string bundle =
            install.addBundle(0, "ReWire.bundle", "1.8.0", "", libraryMissingExportPath());
        if (!withCode) std::ofstream(bundle + "/Info.ini") << "[Bundle]\nVersion=1.8.0\n";
        EXPECT_EQ(openInterface(), kReWireError_DLLTooOld) << withCode;
        EXPECT_FALSE(RWMIsOpen());
        EXPECT_FALSE(IsReWireLoadedByThisInstance());
    }
}

TEST(ReWireMixerInterface, SecondOpenInOneProcessGives6) {
    CTestInstall install;
    install.addBundle(0, "ReWire.bundle");
    ASSERT_EQ(openInterface(), kReWireError_NoError);
    EXPECT_EQ(openInterface(), kReWireError_AlreadyOpen);
    EXPECT_TRUE(RWMIsOpen());
    EXPECT_EQ(ReWireGetLoadCount(), 1);
    EXPECT_EQ(RWMClose(), kReWireError_NoError);
    EXPECT_FALSE(IsReWireLoadedByThisInstance());
    // Calls on a closed interface fail instead of jumping through a null pointer.
    int32_t count = -1;
    EXPECT_NE(RWMGetDeviceCount(&count), kReWireError_NoError);
    EXPECT_EQ(count, -1);
}

TEST(ReWireMixerInterface, LibraryChecksVersionCodeRecordsAndHandles) {
    CTestInstall install;
    install.addBundle(0, "ReWire.bundle");
    ASSERT_EQ(ReWireLoadReWireSharedLibrary(), kReWireError_NoError);
    auto open =
        reinterpret_cast<TRWM2OpenProc>(ReWireFindReWireSharedLibraryFunction(kRWMOpenProcName));
    ASSERT_NE(open, nullptr);
    ReWireOpenInfo info;
    ReWirePrepareOpenInfo(&info, 44100, 64);
    EXPECT_NE(open(kReWireDeviceInterfaceVersion, &info), kReWireError_NoError);
    info.fRecordSize = 12;
    EXPECT_NE(open(kReWireMixerInterfaceVersion, &info), kReWireError_NoError);
    EXPECT_NE(open(kReWireMixerInterfaceVersion, nullptr), kReWireError_NoError);
    ReWireUnloadReWireSharedLibrary();

    ASSERT_EQ(openInterface(), kReWireError_NoError);
    int dummy = 0;
    TRWMDeviceHandle handle = nullptr;
    ReWireDriveAudioInputParams input;
    ReWireDriveAudioOutputParams output;
    ReWirePrepareDriveAudioInputParams(&input, 0, nullptr);
    ReWirePrepareDriveAudioOutputParams(&output, 0, nullptr);
    EXPECT_NE(RWMDriveAudio(&dummy, &input, &output), kReWireError_NoError);
    EXPECT_NE(RWMOpenDevice(99, &handle), kReWireError_NoError);
    ASSERT_EQ(RWMOpenDevice(0, &handle), kReWireError_NoError);
    // A drive with an input record of the wrong size is refused.
    input.fRecordSize = 2000;
    EXPECT_NE(RWMDriveAudio(handle, &input, &output), kReWireError_NoError);
    ReWireBool launched = 0;
    EXPECT_EQ(RWMLaunchPanelApp(handle), kReWireError_NoError);
    EXPECT_EQ(RWMIsPanelAppLaunched(handle, &launched), kReWireError_NoError);
    EXPECT_TRUE(launched);
    EXPECT_EQ(RWMCloseDevice(handle), kReWireError_NoError);
    EXPECT_NE(RWMCloseDevice(handle), kReWireError_NoError);
    EXPECT_EQ(RWMClose(), kReWireError_NoError);
}

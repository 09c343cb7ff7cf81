// The installer run: one pass from start to end, in a fixed order.
#include <cstring>

#include "SysCmd/SysCmd.h"
#include "setup/setup.h"

int main(int argc, char** argv) {
    const char* argv0 = argc > 0 ? argv[0] : "setup";

    flUseLog = true;
    pOrvikInstallDir = SaveStr("/tmp/%sInstall", DIR_WORD);
    LineBuf[0] = '\0';
    pPathToSetup = GetToolPath(argv0);
    my_name = SaveStr_(StripPath(argv0));
    argc = checkCommandLineOptions(argc, argv);
    // The installation record's own actions need no site and write no log.
    if (iRecordAction != RECORD_NONE) {
        flUseLog = false;
        exit_app(RunRecordAction(iRecordAction));
    }
    if (flDryRun) StartDryRun();

    InitSysCmdList();

    // The first lookup fixes the message language for the whole run.
    for (int i = 0; i < 5; ++i)
        InstallInfo[i] = nlsSetupStrCvt(10 + i);
    InstallInfo[5] = nullptr;
    InstallSiteInfo[0] = nlsSetupStrCvt(10);
    InstallSiteInfo[1] = nlsSetupStrCvt(11);
    InstallSiteInfo[2] = nlsSetupStrCvt(17);
    InstallSiteInfo[3] = nlsSetupStrCvt(18);
    InstallSiteInfo[4] = nullptr;

    parseCommandLineOptions(argc, argv);
    // Nothing is copied from a site that fails its checksums or signature.
    CheckInstallSite(pPathToSetup);
    pCurrentInstallDir = locatePreviousInstallation();

    if (pCmdLineInstallDir)
        pTargetInstallDir = pCmdLineInstallDir;
    else if (pCurrentInstallDir)
        pTargetInstallDir = pCurrentInstallDir;
    else
        pTargetInstallDir = SaveStr_(DEFAULT_TARGET);
    pAppDir = SaveStr("%s/%s/%s", pTargetInstallDir, DIR_WORD, APP_WORD);

    FreeSpaceForInstall(pOrvikInstallDir, pTargetInstallDir, DIR_WORD);
    DryRunWorkArea();

    if (pCurrentInstallDir &&
        QuitForRunningProcesses(pBinaryInstanceCheckList))
        exit_app(SETUP_EXIT_STOPPED);
    // From the first change on, a failure puts the previous installation
    // back (the relocation included), or removes what a fresh one made.
    if (pCurrentInstallDir && strcmp(pTargetInstallDir, pCurrentInstallDir) != 0) {
        KeepPreviousInstallation();
        relocatePreviousInstallation();
    }

    int status = installFromSite(pOrvikInstallDir);
    if (status != SETUP_EXIT_DONE) KeepPreviousDone(true);
    OrvikClean(pOrvikInstallDir);
    if (status == SETUP_EXIT_DONE) {
        WriteInstallRecord();
        KeepPreviousDone(false);
    }
    exit_app(status);
}

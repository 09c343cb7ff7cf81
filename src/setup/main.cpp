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
    checkCommandLineOptions(argc, argv);

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
    pCurrentInstallDir = locatePreviousInstallation();

    if (pCmdLineInstallDir)
        pTargetInstallDir = pCmdLineInstallDir;
    else if (pCurrentInstallDir)
        pTargetInstallDir = pCurrentInstallDir;
    else
        pTargetInstallDir = SaveStr_(DEFAULT_TARGET);
    pAppDir = SaveStr("%s/%s/%s", pTargetInstallDir, DIR_WORD, APP_WORD);

    FreeSpaceForInstall(pOrvikInstallDir, pTargetInstallDir, DIR_WORD);

    if (pCurrentInstallDir) {
        if (QuitForRunningProcesses(pBinaryInstanceCheckList)) exit_app(SETUP_EXIT_STOPPED);
        if (strcmp(pTargetInstallDir, pCurrentInstallDir) != 0) relocatePreviousInstallation();
    }

    int status = installFromSite(pOrvikInstallDir);
    OrvikClean(pOrvikInstallDir);
    exit_app(status);
}

// The global installation state, shared by every step of the run.
#include "setup/setup.h"

char* pOrvikInstallDir = nullptr;
char* pPathToSetup = nullptr;
char* pCmdLineInstallDir = nullptr;
char* pCurrentInstallDir = nullptr;
char* pTargetInstallDir = nullptr;
char* pAppDir = nullptr;
bool flCreatedTmpDir = false;
char* pCreatedTmpDirTop = nullptr;
const char* InstallInfo[6] = {};
const char* InstallSiteInfo[5] = {};
const char* pBinaryInstanceCheckList = ",qpadmin,qpqadmin,qprint,qprqpxxtty,QPQ,QPRM,qsf,";
const char* pPathToInstallf = "/usr/sbin/installf";
char* pToolPath = nullptr;
bool flDryRun = false;
bool flAssumeYes = false;
int iWaitRunning = -1;
bool flDryRunWaits = false;
char* pKeyring = nullptr;
bool flRequireChecksums = false;
bool flForceRemove = false;
int iRecordAction = RECORD_NONE;
char* pSiteSum = nullptr;

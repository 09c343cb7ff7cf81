// The installer's message table: every text the installer shows, in six
// languages, indexed by message number, and the choice of the language from
// LANG at the first lookup. The texts are ISO 8859-1 and written as escapes
// of their Latin-1 bytes, so this file stays plain ASCII. When LANG names the
// UTF-8 codeset the rows are handed out converted to UTF-8, so that no
// caller (printf, ErrorMsg, perror prefixes) has to care about the encoding.
#include "setup/setup.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "MemMgr/MemMgr.h"

// Rows that every language shares: two lines of the shell fragment a printer
// interface program prints when it is called wrongly, and the empty text.
static constexpr char MSG_BAD_ARG_COUNT[] =
    "\t\t\"wrong number of arguments to interface program\" \\\n";
static constexpr char MSG_CONSULT_ADMIN[] = "\t\t\"consult your system administrator\" \\\n";
static constexpr char MSG_EMPTY[] = "";

// One row per message, numbered as the callers name them. Keep the printf
// conversions of every row in the order of the English row: callers pass one
// argument list whatever the language.
// clang-format off
constexpr const char* const NLS_ENGLISH[SETUP_MSG_COUNT] = {
    /*  0 */ "~e Exit Help",
    /*  1 */ "~c Contents",
    /*  2 */ "~b Back",
    /*  3 */ "ERROR: couldn't open %s",
    /*  4 */ "Unable to eject diskette.\nPlease exit out of any other application (filemanager, shell) that may be using the floppy drive. and press enter\n",
    /*  5 */ "Unable to detect the diskette.\n",
    /*  6 */ "Please insert install diskette %i and press enter",
    /*  7 */ "\nEnter the new installation directory [%s]: ",
    /*  8 */ "Do you want to use %s",
    /*  9 */ "Do you want to return to Setup Menu",
    /* 10 */ "This entry must be a full path to the installation directory.\n",
    /* 11 */ "You must specify an installation directory which will be used",
    /* 12 */ "to install the Orvik directory along with its support files and",
    /* 13 */ "directories. This utility will create the install directory",
    /* 14 */ "if it doesn't already exist.",
    /* 15 */ MSG_BAD_ARG_COUNT,
    /* 16 */ MSG_CONSULT_ADMIN,
    /* 17 */ "to create the installation site. This utility will create the",
    /* 18 */ "install directory if it doesn't already exist.",
    /* 19 */ "ERROR: can't locate install diskette 0\n",
    /* 20 */ "\nWarning defining another installation directory will invalidate any defined print queues [%s]\n ",
    /* 21 */ "can't open file, %sInstall/disks",
    /* 22 */ "\nCreating diskette %i ",
    /* 23 */ "\nPlease insert DOS formatted diskette (%i) and press enter",
    /* 24 */ "can't open file, /floppy/floppy0/disks\n",
    /* 25 */ "Please insert install diskette %i and press enter\n",
    /* 26 */ "can't open file, %s/disks\n",
    /* 27 */ "\nImplementing configuration\n",
    /* 28 */ "stop all",
    /* 29 */ "\nUnable to locate device /dev/%s \n",
    /* 30 */ "Enter the client's name before registering it.\nPress <Return> to continue",
    /* 31 */ "\nStarting Orvik print daemon.\n",
    /* 32 */ "\nStopping Orvik print daemon.\n",
    /* 33 */ "\nRemoving Existing Printers \n",
    /* 34 */ "Enter the name of the printer to remove: ",
    /* 35 */ "%s is logged in\nYou must become root to run %s\n",
    /* 36 */ "\nPress <Return> to continue. ",
    /* 37 */ "\nEnter the name of the printer to remove: ",
    /* 38 */ "%s has been saved. Do want to update it",
    /* 39 */ "                  offset_files size total will be used to reduce disk1 file. \n",
    /* 40 */ "_disabled,_enabled",
    /* 41 */ "_No,_Yes",
    /* 42 */ "\nExisting installation directory [%s]\n ",
    /* 43 */ "Existing printer list:\n ",
    /* 44 */ "Saved printer list:\n",
    /* 45 */ "none,GUI,TTY",
    /* 46 */ "_workstation to printer,_workstation to print server,_print server to printer",
    /* 47 */ "_TCP/IP,_local device",
    /* 48 */ "_default features,_custom feature selection",
    /* 49 */ "There isn't enough space in %s to perform the installation activities. The temporary work area should be at least %e bytes. Restart the installation procedure using a work area that has enough space. \nie: 1. Use /new_work_area_path in place of /tmp\n    2. Run `setup /new_work_area_path`\n",
    /* 50 */ "_none,    ,_TTY",
    /* 51 */ "\nUnable to locate ppd files ppd/* \n",
    /* 52 */ "Please insert install diskette %i\n",
    /* 53 */ "Please insert DOS formatted diskette (%i)\n",
    /* 54 */ "The following packages must be removed to insure proper installation:\n %s\nDo want to continue with the upgrade",
    /* 55 */ "There isn't enough space in %s to perform the installation activities. The install area should be at least %e bytes. Restart the installation procedure using an install area that has enough space. \nie: 1. Use /new_install_path in place of the default location\n    2. Run 'setup install /new_install_path'\n",
    /* 56 */ "There isn't enough space to perform the installation activities. As you are using a working directory, %s on the same partition as the install directory you have selected, %s this install requires %e bytes free. Please re-run the install specifing a different location for a working directory or install directory. Please see the readme if you need help with the syntax.",
    /* 57 */ MSG_EMPTY,
    /* 58 */ "setup: ERROR",
    /* 59 */ "killed QPrintD %s\n",
    /* 60 */ "failed ts get version",
    /* 61 */ "\nERROR: You are trying to load the wrong version of the Tallowmere Services for Unix Systems software to this machine.\n",
    /* 62 */ "\nIf you currently have %s printer software installed that uses QPrintD\nprint daemon, you must delete all your %s print queues prior to installing\nthis package.\n\nNOTE: QPrintD is located in <install directory>/%s/%s\n",
    /* 63 */ "\nDo You want to continue with the installation? [yn] ",
    /* 64 */ "Reading diskette %i\n",
    /* 65 */ "Could not determine how much space needed for install, missing isize.\n",
    /* 66 */ "\nThe following processes are running.\nThe installer can not continue until these terminate:\n",
    /* 67 */ "Would you like to:\n",
    /* 68 */ "1.  Wait 30 seconds for these processes to terminate\n",
    /* 69 */ "2.  Quit the installation\n",
    /* 70 */ "\nEnter a selection:  ",
};

constexpr const char* const NLS_SPANISH[SETUP_MSG_COUNT] = {
    /*  0 */ "~e Salir de Ayuda",
    /*  1 */ "~c Contenido",
    /*  2 */ "~v Volver",
    /*  3 */ "ERROR: no se pudo abrir %s",
    /*  4 */ "No se puede expulsar el disquete.\nSalga de cualquier otra aplicaci\xf3n (administrador de archivos, shell) que pueda estar usando la disquetera y pulse Intro\n",
    /*  5 */ "No se puede detectar el disquete.\n",
    /*  6 */ "Inserte el disquete de instalaci\xf3n %i y pulse Intro",
    /*  7 */ "\nIntroduzca el nuevo directorio de instalaci\xf3n [%s]: ",
    /*  8 */ "\xbf" "Desea usar %s",
    /*  9 */ "\xbf" "Desea volver al men\xfa de instalaci\xf3n",
    /* 10 */ "Esta entrada debe ser la ruta completa del directorio de instalaci\xf3n.\n",
    /* 11 */ "Debe indicar un directorio de instalaci\xf3n que se utilizar\xe1",
    /* 12 */ "para instalar el directorio Orvik junto con sus archivos y",
    /* 13 */ "directorios auxiliares. Esta utilidad crear\xe1 el directorio de instalaci\xf3n",
    /* 14 */ "si todav\xed" "a no existe.",
    /* 15 */ MSG_BAD_ARG_COUNT,
    /* 16 */ MSG_CONSULT_ADMIN,
    /* 17 */ "para crear el sitio de instalaci\xf3n. Esta utilidad crear\xe1 el",
    /* 18 */ "directorio de instalaci\xf3n si todav\xed" "a no existe.",
    /* 19 */ "ERROR: no se encuentra el disquete de instalaci\xf3n 0\n",
    /* 20 */ "\nAviso: definir otro directorio de instalaci\xf3n invalidar\xe1 todas las colas de impresi\xf3n definidas [%s]\n ",
    /* 21 */ "no se puede abrir el archivo, %sInstall/disks",
    /* 22 */ "\nCreando el disquete %i ",
    /* 23 */ "\nInserte un disquete con formato DOS (%i) y pulse Intro",
    /* 24 */ "no se puede abrir el archivo, /floppy/floppy0/disks\n",
    /* 25 */ "Inserte el disquete de instalaci\xf3n %i y pulse Intro\n",
    /* 26 */ "no se puede abrir el archivo, %s/disks\n",
    /* 27 */ "\nAplicando la configuraci\xf3n\n",
    /* 28 */ "detener todo",
    /* 29 */ "\nNo se encuentra el dispositivo /dev/%s \n",
    /* 30 */ "Introduzca el nombre del cliente antes de registrarlo.\nPulse <Intro> para continuar",
    /* 31 */ "\nIniciando el demonio de impresi\xf3n de Orvik.\n",
    /* 32 */ "\nDeteniendo el demonio de impresi\xf3n de Orvik.\n",
    /* 33 */ "\nEliminando las impresoras existentes \n",
    /* 34 */ "Introduzca el nombre de la impresora que desea eliminar: ",
    /* 35 */ "%s ha iniciado la sesi\xf3n\nDebe ser root para ejecutar %s\n",
    /* 36 */ "\nPulse <Intro> para continuar. ",
    /* 37 */ "\nIntroduzca el nombre de la impresora que desea eliminar: ",
    /* 38 */ "%s se ha guardado. \xbf" "Desea actualizarlo",
    /* 39 */ "                  el tama\xf1o total de offset_files se usar\xe1 para reducir el archivo disk1. \n",
    /* 40 */ "_desactivado,_activado",
    /* 41 */ "_No,_S\xed",
    /* 42 */ "\nDirectorio de instalaci\xf3n existente [%s]\n ",
    /* 43 */ "Lista de impresoras existentes:\n ",
    /* 44 */ "Lista de impresoras guardadas:\n",
    /* 45 */ "ninguno,GUI,TTY",
    /* 46 */ "_estaci\xf3n de trabajo a impresora,_estaci\xf3n de trabajo a servidor de impresi\xf3n,_servidor de impresi\xf3n a impresora",
    /* 47 */ "_TCP/IP,_dispositivo local",
    /* 48 */ "_funciones predeterminadas,_selecci\xf3n personalizada de funciones",
    /* 49 */ "No hay espacio suficiente en %s para realizar la instalaci\xf3n. El \xe1rea de trabajo temporal debe tener al menos %e bytes. Reinicie el procedimiento de instalaci\xf3n con un \xe1rea de trabajo que tenga espacio suficiente. \nej.: 1. Use /new_work_area_path en lugar de /tmp\n     2. Ejecute `setup /new_work_area_path`\n",
    /* 50 */ "_ninguno,    ,_TTY",
    /* 51 */ "\nNo se encuentran los archivos ppd ppd/* \n",
    /* 52 */ "Inserte el disquete de instalaci\xf3n %i\n",
    /* 53 */ "Inserte un disquete con formato DOS (%i)\n",
    /* 54 */ "Para garantizar una instalaci\xf3n correcta deben eliminarse los siguientes paquetes:\n %s\n\xbf" "Desea continuar con la actualizaci\xf3n",
    /* 55 */ "No hay espacio suficiente en %s para realizar la instalaci\xf3n. El \xe1rea de instalaci\xf3n debe tener al menos %e bytes. Reinicie el procedimiento de instalaci\xf3n con un \xe1rea de instalaci\xf3n que tenga espacio suficiente. \nej.: 1. Use /new_install_path en lugar de la ubicaci\xf3n predeterminada\n     2. Ejecute 'setup install /new_install_path'\n",
    /* 56 */ "No hay espacio suficiente para realizar la instalaci\xf3n. Como est\xe1 usando un directorio de trabajo, %s, en la misma partici\xf3n que el directorio de instalaci\xf3n seleccionado, %s, esta instalaci\xf3n requiere %e bytes libres. Vuelva a ejecutar la instalaci\xf3n indicando otra ubicaci\xf3n para el directorio de trabajo o para el de instalaci\xf3n. Consulte el archivo readme si necesita ayuda con la sintaxis.",
    /* 57 */ MSG_EMPTY,
    /* 58 */ "setup: ERROR",
    /* 59 */ "QPrintD %s terminado\n",
    /* 60 */ "no se pudo obtener la versi\xf3n",
    /* 61 */ "\nERROR: Est\xe1 intentando cargar en este equipo una versi\xf3n incorrecta del software Tallowmere Services for Unix Systems.\n",
    /* 62 */ "\nSi tiene instalado software de impresi\xf3n de %s que usa el demonio de impresi\xf3n\nQPrintD, debe eliminar todas sus colas de impresi\xf3n de %s antes de instalar\neste paquete.\n\nNOTA: QPrintD se encuentra en <directorio de instalaci\xf3n>/%s/%s\n",
    /* 63 */ "\n\xbf" "Desea continuar con la instalaci\xf3n? [sn] ",
    /* 64 */ "Leyendo el disquete %i\n",
    /* 65 */ "No se pudo determinar el espacio necesario para la instalaci\xf3n; falta isize.\n",
    /* 66 */ "\nLos siguientes procesos est\xe1n en ejecuci\xf3n.\nEl instalador no puede continuar hasta que terminen:\n",
    /* 67 */ "\xbfQu\xe9 desea hacer?\n",
    /* 68 */ "1.  Esperar 30 segundos a que terminen estos procesos\n",
    /* 69 */ "2.  Salir de la instalaci\xf3n\n",
    /* 70 */ "\nIntroduzca una opci\xf3n:  ",
};

constexpr const char* const NLS_ITALIAN[SETUP_MSG_COUNT] = {
    /*  0 */ "~e Guida esci",
    /*  1 */ "~s Sommario",
    /*  2 */ "~i Indietro",
    /*  3 */ "ERRORE: impossibile aprire %s",
    /*  4 */ "Impossibile espellere il dischetto.\nChiudere qualsiasi altra applicazione (file manager, shell) che potrebbe utilizzare l'unit\xe0 floppy e premere Invio\n",
    /*  5 */ "Impossibile rilevare il dischetto.\n",
    /*  6 */ "Inserire il dischetto di installazione %i e premere Invio",
    /*  7 */ "\nImmettere la nuova directory di installazione [%s]: ",
    /*  8 */ "Si vuole utilizzare %s",
    /*  9 */ "Si vuole tornare al menu di installazione",
    /* 10 */ "Questa voce deve essere il percorso completo della directory di installazione.\n",
    /* 11 */ "\xc8 necessario specificare una directory di installazione che verr\xe0 utilizzata",
    /* 12 */ "per installare la directory Orvik insieme ai relativi file e",
    /* 13 */ "directory di supporto. Questa utilit\xe0 creer\xe0 la directory di installazione",
    /* 14 */ "se non esiste gi\xe0.",
    /* 15 */ MSG_BAD_ARG_COUNT,
    /* 16 */ MSG_CONSULT_ADMIN,
    /* 17 */ "per creare il sito di installazione. Questa utilit\xe0 creer\xe0 la",
    /* 18 */ "directory di installazione se non esiste gi\xe0.",
    /* 19 */ "ERRORE: impossibile trovare il dischetto di installazione 0\n",
    /* 20 */ "\nAttenzione: definire un'altra directory di installazione render\xe0 non valide tutte le code di stampa definite [%s]\n ",
    /* 21 */ "impossibile aprire il file, %sInstall/disks",
    /* 22 */ "\nCreazione del dischetto %i ",
    /* 23 */ "\nInserire un dischetto formattato DOS (%i) e premere Invio",
    /* 24 */ "impossibile aprire il file, /floppy/floppy0/disks\n",
    /* 25 */ "Inserire il dischetto di installazione %i e premere Invio\n",
    /* 26 */ "impossibile aprire il file, %s/disks\n",
    /* 27 */ "\nApplicazione della configurazione\n",
    /* 28 */ "ferma tutto",
    /* 29 */ "\nImpossibile trovare il dispositivo /dev/%s \n",
    /* 30 */ "Immettere il nome del client prima di registrarlo.\nPremere <Invio> per continuare",
    /* 31 */ "\nAvvio del daemon di stampa Orvik.\n",
    /* 32 */ "\nArresto del daemon di stampa Orvik.\n",
    /* 33 */ "\nRimozione delle stampanti esistenti \n",
    /* 34 */ "Immettere il nome della stampante da rimuovere: ",
    /* 35 */ "%s ha effettuato l'accesso\nPer eseguire %s \xe8 necessario diventare root\n",
    /* 36 */ "\nPremere <Invio> per continuare. ",
    /* 37 */ "\nImmettere il nome della stampante da rimuovere: ",
    /* 38 */ "%s \xe8 stato salvato. Si vuole aggiornarlo",
    /* 39 */ "                  la dimensione totale di offset_files verr\xe0 usata per ridurre il file disk1. \n",
    /* 40 */ "_disattivato,_attivato",
    /* 41 */ "_No,_S\xec",
    /* 42 */ "\nDirectory di installazione esistente [%s]\n ",
    /* 43 */ "Elenco delle stampanti esistenti:\n ",
    /* 44 */ "Elenco delle stampanti salvate:\n",
    /* 45 */ "nessuno,GUI,TTY",
    /* 46 */ "_da workstation a stampante,_da workstation a server di stampa,_da server di stampa a stampante",
    /* 47 */ "_TCP/IP,_dispositivo locale",
    /* 48 */ "_funzioni predefinite,_selezione personalizzata delle funzioni",
    /* 49 */ "Spazio insufficiente in %s per eseguire le operazioni di installazione. L'area di lavoro temporanea deve disporre di almeno %e byte. Riavviare la procedura di installazione utilizzando un'area di lavoro con spazio sufficiente. \nes: 1. Utilizzare /new_work_area_path al posto di /tmp\n    2. Eseguire `setup /new_work_area_path`\n",
    /* 50 */ "_nessuno,    ,_TTY",
    /* 51 */ "\nImpossibile trovare i file ppd ppd/* \n",
    /* 52 */ "Inserire il dischetto di installazione %i\n",
    /* 53 */ "Inserire un dischetto formattato DOS (%i)\n",
    /* 54 */ "Per garantire una corretta installazione \xe8 necessario rimuovere i seguenti pacchetti:\n %s\nSi vuole continuare con l'aggiornamento",
    /* 55 */ "Spazio insufficiente in %s per eseguire le operazioni di installazione. L'area di installazione deve disporre di almeno %e byte. Riavviare la procedura di installazione utilizzando un'area di installazione con spazio sufficiente. \nes: 1. Utilizzare /new_install_path al posto della posizione predefinita\n    2. Eseguire 'setup install /new_install_path'\n",
    /* 56 */ "Spazio insufficiente per eseguire le operazioni di installazione. Poich\xe9 si sta utilizzando una directory di lavoro, %s, sulla stessa partizione della directory di installazione selezionata, %s, questa installazione richiede %e byte liberi. Eseguire di nuovo l'installazione specificando una posizione diversa per la directory di lavoro o per la directory di installazione. Per assistenza sulla sintassi consultare il file readme.",
    /* 57 */ MSG_EMPTY,
    /* 58 */ "installazione: ERRORE",
    /* 59 */ "QPrintD %s terminato\n",
    /* 60 */ "impossibile ottenere la versione",
    /* 61 */ "\nERRORE: si sta tentando di caricare su questo computer una versione errata del software Tallowmere Services for Unix Systems.\n",
    /* 62 */ "\nSe \xe8 installato un software di stampa %s che utilizza il daemon di stampa\nQPrintD, \xe8 necessario eliminare tutte le code di stampa %s prima di installare\nquesto pacchetto.\n\nNOTA: QPrintD si trova in <directory di installazione>/%s/%s\n",
    /* 63 */ "\nSi vuole continuare con l'installazione? [yn] ",
    /* 64 */ "Lettura del dischetto %i\n",
    /* 65 */ "Impossibile determinare lo spazio necessario per l'installazione: manca isize.\n",
    /* 66 */ "\nI seguenti processi sono in esecuzione.\nL'installazione non pu\xf2 continuare finch\xe9 non terminano:\n",
    /* 67 */ "Che cosa si desidera fare?\n",
    /* 68 */ "1.  Attendere 30 secondi che questi processi terminino\n",
    /* 69 */ "2.  Uscire dall'installazione\n",
    /* 70 */ "\nImmettere una scelta:  ",
};

constexpr const char* const NLS_FRENCH[SETUP_MSG_COUNT] = {
    /*  0 */ "~e Quitter l'Aide",
    /*  1 */ "~s Sommaire",
    /*  2 */ "~r Retour",
    /*  3 */ "ERREUR : impossible d'ouvrir %s",
    /*  4 */ "Impossible d'\xe9jecter la disquette.\nQuittez toute autre application (gestionnaire de fichiers, shell) susceptible d'utiliser le lecteur de disquettes, puis appuyez sur Entr\xe9" "e\n",
    /*  5 */ "Impossible de d\xe9tecter la disquette.\n",
    /*  6 */ "Ins\xe9rez la disquette d'installation %i et appuyez sur Entr\xe9" "e",
    /*  7 */ "\nEntrez le nouveau r\xe9pertoire d'installation [%s] : ",
    /*  8 */ "Voulez-vous utiliser %s",
    /*  9 */ "Voulez-vous revenir au menu d'installation",
    /* 10 */ "Cette entr\xe9" "e doit \xeatre le chemin complet du r\xe9pertoire d'installation.\n",
    /* 11 */ "Vous devez indiquer un r\xe9pertoire d'installation qui servira",
    /* 12 */ "\xe0 installer le r\xe9pertoire Orvik ainsi que ses fichiers et",
    /* 13 */ "r\xe9pertoires annexes. Cet utilitaire cr\xe9" "era le r\xe9pertoire d'installation",
    /* 14 */ "s'il n'existe pas d\xe9j\xe0.",
    /* 15 */ MSG_BAD_ARG_COUNT,
    /* 16 */ MSG_CONSULT_ADMIN,
    /* 17 */ "\xe0 cr\xe9" "er le site d'installation. Cet utilitaire cr\xe9" "era le",
    /* 18 */ "r\xe9pertoire d'installation s'il n'existe pas d\xe9j\xe0.",
    /* 19 */ "ERREUR : impossible de trouver la disquette d'installation 0\n",
    /* 20 */ "\nAttention : d\xe9" "finir un autre r\xe9pertoire d'installation invalidera toutes les files d'impression d\xe9" "finies [%s]\n ",
    /* 21 */ "impossible d'ouvrir le fichier, %sInstall/disks",
    /* 22 */ "\nCr\xe9" "ation de la disquette %i ",
    /* 23 */ "\nIns\xe9rez une disquette format\xe9" "e DOS (%i) et appuyez sur Entr\xe9" "e",
    /* 24 */ "impossible d'ouvrir le fichier, /floppy/floppy0/disks\n",
    /* 25 */ "Ins\xe9rez la disquette d'installation %i et appuyez sur Entr\xe9" "e\n",
    /* 26 */ "impossible d'ouvrir le fichier, %s/disks\n",
    /* 27 */ "\nApplication de la configuration\n",
    /* 28 */ "tout arr\xeater",
    /* 29 */ "\nImpossible de trouver le p\xe9riph\xe9rique /dev/%s \n",
    /* 30 */ "Entrez le nom du client avant de l'enregistrer.\nAppuyez sur <Entr\xe9" "e> pour continuer",
    /* 31 */ "\nD\xe9marrage du d\xe9mon d'impression Orvik.\n",
    /* 32 */ "\nArr\xeat du d\xe9mon d'impression Orvik.\n",
    /* 33 */ "\nSuppression des imprimantes existantes \n",
    /* 34 */ "Entrez le nom de l'imprimante \xe0 supprimer : ",
    /* 35 */ "%s est connect\xe9\nVous devez \xeatre root pour ex\xe9" "cuter %s\n",
    /* 36 */ "\nAppuyez sur <Entr\xe9" "e> pour continuer. ",
    /* 37 */ "\nEntrez le nom de l'imprimante \xe0 supprimer : ",
    /* 38 */ "%s a \xe9t\xe9 enregistr\xe9. Voulez-vous le mettre \xe0 jour",
    /* 39 */ "                  la taille totale d'offset_files servira \xe0 r\xe9" "duire le fichier disk1. \n",
    /* 40 */ "_d\xe9sactiv\xe9,_activ\xe9",
    /* 41 */ "_Non,_Oui",
    /* 42 */ "\nR\xe9pertoire d'installation existant [%s]\n ",
    /* 43 */ "Liste des imprimantes existantes :\n ",
    /* 44 */ "Liste des imprimantes enregistr\xe9" "es :\n",
    /* 45 */ "aucun,GUI,TTY",
    /* 46 */ "_poste de travail vers imprimante,_poste de travail vers serveur d'impression,_serveur d'impression vers imprimante",
    /* 47 */ "_TCP/IP,_p\xe9riph\xe9rique local",
    /* 48 */ "_fonctions par d\xe9" "faut,_s\xe9lection personnalis\xe9" "e des fonctions",
    /* 49 */ "Il n'y a pas assez d'espace dans %s pour effectuer l'installation. La zone de travail temporaire doit disposer d'au moins %e octets. Relancez la proc\xe9" "dure d'installation avec une zone de travail disposant de suffisamment d'espace. \nex. 1. Utilisez /new_work_area_path au lieu de /tmp\n    2. Lancez `setup /new_work_area_path`\n",
    /* 50 */ "_aucun,    ,_TTY",
    /* 51 */ "\nImpossible de trouver les fichiers ppd ppd/* \n",
    /* 52 */ "Ins\xe9rez la disquette d'installation %i\n",
    /* 53 */ "Ins\xe9rez une disquette format\xe9" "e DOS (%i)\n",
    /* 54 */ "Les paquets suivants doivent \xeatre supprim\xe9s pour garantir une installation correcte :\n %s\nVoulez-vous poursuivre la mise \xe0 jour",
    /* 55 */ "Il n'y a pas assez d'espace dans %s pour effectuer l'installation. La zone d'installation doit disposer d'au moins %e octets. Relancez la proc\xe9" "dure d'installation avec une zone d'installation disposant de suffisamment d'espace. \nex. 1. Utilisez /new_install_path au lieu de l'emplacement par d\xe9" "faut\n    2. Lancez 'setup install /new_install_path'\n",
    /* 56 */ "Il n'y a pas assez d'espace pour effectuer l'installation. Comme vous utilisez un r\xe9pertoire de travail, %s, sur la m\xeame partition que le r\xe9pertoire d'installation choisi, %s, cette installation n\xe9" "cessite %e octets libres. Relancez l'installation en indiquant un autre emplacement pour le r\xe9pertoire de travail ou le r\xe9pertoire d'installation. Consultez le fichier readme si vous avez besoin d'aide sur la syntaxe.",
    /* 57 */ MSG_EMPTY,
    /* 58 */ "installation : ERREUR :",
    /* 59 */ "QPrintD %s arr\xeat\xe9 de force\n",
    /* 60 */ "impossible d'obtenir la version",
    /* 61 */ "\nERREUR : vous essayez de charger sur cette machine une version incorrecte du logiciel Tallowmere Services for Unix Systems.\n",
    /* 62 */ "\nSi un logiciel d'impression %s utilisant le d\xe9mon d'impression QPrintD est\ninstall\xe9, vous devez supprimer toutes vos files d'impression %s avant d'installer\nce paquet.\n\nREMARQUE : QPrintD se trouve dans <r\xe9pertoire d'installation>/%s/%s\n",
    /* 63 */ "\nSouhaitez-vous continuer avec l'installation ? [on] ",
    /* 64 */ "Lecture de la disquette %i\n",
    /* 65 */ "Impossible de d\xe9terminer l'espace n\xe9" "cessaire \xe0 l'installation : isize est absent.\n",
    /* 66 */ "\nLes processus suivants sont en cours d'ex\xe9" "cution.\nLe programme d'installation ne peut pas continuer tant qu'ils ne sont pas termin\xe9s :\n",
    /* 67 */ "Souhaitez-vous :\n",
    /* 68 */ "1.  Attendre 30 secondes que ces processus se terminent\n",
    /* 69 */ "2.  Quitter l'installation\n",
    /* 70 */ "\nEntrez votre choix :  ",
};

constexpr const char* const NLS_GERMAN[SETUP_MSG_COUNT] = {
    /*  0 */ "~h Hilfe verlassen",
    /*  1 */ "~I Inhalt",
    /*  2 */ "~z Zur\xfc" "ck",
    /*  3 */ "FEHLER: %s konnte nicht ge\xf6" "ffnet werden",
    /*  4 */ "Die Diskette kann nicht ausgeworfen werden.\nBitte beenden Sie alle anderen Anwendungen (Dateimanager, Shell), die das Diskettenlaufwerk verwenden k\xf6nnten, und dr\xfc" "cken Sie die Eingabetaste\n",
    /*  5 */ "Die Diskette wurde nicht erkannt.\n",
    /*  6 */ "Bitte legen Sie die Installationsdiskette %i ein und dr\xfc" "cken Sie die Eingabetaste",
    /*  7 */ "\nGeben Sie das neue Installationsverzeichnis ein [%s]: ",
    /*  8 */ "M\xf6" "chten Sie %s verwenden",
    /*  9 */ "M\xf6" "chten Sie zum Setup-Men\xfc zur\xfc" "ckkehren",
    /* 10 */ "Diese Eingabe muss der vollst\xe4ndige Pfad des Installationsverzeichnisses sein.\n",
    /* 11 */ "Sie m\xfcssen ein Installationsverzeichnis angeben, das verwendet wird,",
    /* 12 */ "um das Orvik-Verzeichnis samt den zugeh\xf6rigen Dateien und",
    /* 13 */ "Verzeichnissen zu installieren. Dieses Programm legt das Installationsverzeichnis",
    /* 14 */ "an, falls es noch nicht vorhanden ist.",
    /* 15 */ MSG_BAD_ARG_COUNT,
    /* 16 */ MSG_CONSULT_ADMIN,
    /* 17 */ "um die Installationsquelle anzulegen. Dieses Programm legt das",
    /* 18 */ "Installationsverzeichnis an, falls es noch nicht vorhanden ist.",
    /* 19 */ "FEHLER: Installationsdiskette 0 nicht gefunden\n",
    /* 20 */ "\nWarnung: Wenn Sie ein anderes Installationsverzeichnis festlegen, werden alle definierten Druckwarteschlangen ung\xfcltig [%s]\n ",
    /* 21 */ "Datei kann nicht ge\xf6" "ffnet werden, %sInstall/disks",
    /* 22 */ "\nDiskette %i wird erstellt ",
    /* 23 */ "\nBitte legen Sie eine DOS-formatierte Diskette (%i) ein und dr\xfc" "cken Sie die Eingabetaste",
    /* 24 */ "Datei kann nicht ge\xf6" "ffnet werden, /floppy/floppy0/disks\n",
    /* 25 */ "Bitte legen Sie die Installationsdiskette %i ein und dr\xfc" "cken Sie die Eingabetaste\n",
    /* 26 */ "Datei kann nicht ge\xf6" "ffnet werden, %s/disks\n",
    /* 27 */ "\nKonfiguration wird \xfc" "bernommen\n",
    /* 28 */ "alle anhalten",
    /* 29 */ "\nGer\xe4t /dev/%s nicht gefunden \n",
    /* 30 */ "Geben Sie den Namen des Clients ein, bevor Sie ihn registrieren.\nDr\xfc" "cken Sie <Eingabe>, um fortzufahren",
    /* 31 */ "\nOrvik-Druckd\xe4mon wird gestartet.\n",
    /* 32 */ "\nOrvik-Druckd\xe4mon wird angehalten.\n",
    /* 33 */ "\nVorhandene Drucker werden entfernt \n",
    /* 34 */ "Geben Sie den Namen des zu entfernenden Druckers ein: ",
    /* 35 */ "%s ist angemeldet\nSie m\xfcssen root sein, um %s auszuf\xfchren\n",
    /* 36 */ "\nDr\xfc" "cken Sie <Eingabe>, um fortzufahren. ",
    /* 37 */ "\nGeben Sie den Namen des zu entfernenden Druckers ein: ",
    /* 38 */ "%s wurde gespeichert. M\xf6" "chten Sie es aktualisieren",
    /* 39 */ "                  die Gesamtgr\xf6\xdf" "e von offset_files wird zum Verkleinern der Datei disk1 verwendet. \n",
    /* 40 */ "_aktiviert,_deaktiviert",
    /* 41 */ "_Nein,_Ja",
    /* 42 */ "\nVorhandenes Installationsverzeichnis [%s]\n ",
    /* 43 */ "Vorhandene Druckerliste:\n ",
    /* 44 */ "Gespeicherte Druckerliste:\n",
    /* 45 */ "keine,GUI,TTY",
    /* 46 */ "_Arbeitsstation zu Drucker,_Arbeitsstation zu Druckserver,_Druckserver zu Drucker",
    /* 47 */ "_TCP/IP,_lokales Ger\xe4t",
    /* 48 */ "_Standardfunktionen,_benutzerdefinierte Funktionsauswahl",
    /* 49 */ "In %s ist nicht gen\xfcgend Speicherplatz f\xfcr die Installation vorhanden. Der tempor\xe4re Arbeitsbereich muss mindestens %e Byte gro\xdf sein. Starten Sie die Installation erneut mit einem Arbeitsbereich, der gen\xfcgend Platz bietet. \nBsp.: 1. Verwenden Sie /new_work_area_path anstelle von /tmp\n      2. F\xfchren Sie `setup /new_work_area_path` aus\n",
    /* 50 */ "_keine,    ,_TTY",
    /* 51 */ "\nPPD-Dateien ppd/* nicht gefunden \n",
    /* 52 */ "Bitte legen Sie die Installationsdiskette %i ein\n",
    /* 53 */ "Bitte legen Sie eine DOS-formatierte Diskette (%i) ein\n",
    /* 54 */ "Die folgenden Pakete m\xfcssen entfernt werden, damit die Installation fehlerfrei gelingt:\n %s\nM\xf6" "chten Sie mit der Aktualisierung fortfahren",
    /* 55 */ "In %s ist nicht gen\xfcgend Speicherplatz f\xfcr die Installation vorhanden. Der Installationsbereich muss mindestens %e Byte gro\xdf sein. Starten Sie die Installation erneut mit einem Installationsbereich, der gen\xfcgend Platz bietet. \nBsp.: 1. Verwenden Sie /new_install_path anstelle des Standardorts\n      2. F\xfchren Sie 'setup install /new_install_path' aus\n",
    /* 56 */ "Es ist nicht gen\xfcgend Speicherplatz f\xfcr die Installation vorhanden. Da Sie ein Arbeitsverzeichnis, %s, auf derselben Partition wie das gew\xe4hlte Installationsverzeichnis, %s, verwenden, ben\xf6tigt diese Installation %e Byte freien Speicher. Bitte starten Sie die Installation erneut und geben Sie einen anderen Ort f\xfcr das Arbeits- oder das Installationsverzeichnis an. Hilfe zur Syntax finden Sie in der Readme-Datei.",
    /* 57 */ MSG_EMPTY,
    /* 58 */ "Setup: FEHLER",
    /* 59 */ "QPrintD %s beendet\n",
    /* 60 */ "Version konnte nicht ermittelt werden",
    /* 61 */ "\nFEHLER: Sie versuchen, eine falsche Version der Software Tallowmere Services for Unix Systems auf diesen Rechner zu laden.\n",
    /* 62 */ "\nWenn bei Ihnen %s-Druckersoftware installiert ist, die den Druckd\xe4mon QPrintD\nverwendet, m\xfcssen Sie vor der Installation dieses Pakets alle Ihre %s-Druckwarteschlangen\nl\xf6schen.\n\nHINWEIS: QPrintD befindet sich in <Installationsverzeichnis>/%s/%s\n",
    /* 63 */ "\nWeiter mit der Installation? [jn] ",
    /* 64 */ "Diskette %i wird gelesen\n",
    /* 65 */ "Der f\xfcr die Installation ben\xf6tigte Speicherplatz konnte nicht ermittelt werden, isize fehlt.\n",
    /* 66 */ "\nDie folgenden Prozesse laufen.\nDie Installation kann erst fortgesetzt werden, wenn sie beendet sind:\n",
    /* 67 */ "Bitte w\xe4hlen Sie:\n",
    /* 68 */ "1.  30 Sekunden warten, bis diese Prozesse beendet sind\n",
    /* 69 */ "2.  Installation abbrechen\n",
    /* 70 */ "\nIhre Auswahl:  ",
};

constexpr const char* const NLS_PORTUGUESE[SETUP_MSG_COUNT] = {
    /*  0 */ "~s Sair da Ajuda",
    /*  1 */ "~c Conte\xfa" "do",
    /*  2 */ "~v Voltar",
    /*  3 */ "ERRO: imposs\xedvel abrir %s",
    /*  4 */ "N\xe3o \xe9 poss\xedvel ejetar o disquete.\nFeche qualquer outro aplicativo (gerenciador de arquivos, shell) que possa estar usando a unidade de disquete e pressione Enter\n",
    /*  5 */ "N\xe3o \xe9 poss\xedvel detectar o disquete.\n",
    /*  6 */ "Insira o disquete de instala\xe7\xe3o %i e pressione Enter",
    /*  7 */ "\nDigite o novo diret\xf3rio de instala\xe7\xe3o [%s]: ",
    /*  8 */ "Deseja usar %s",
    /*  9 */ "Deseja voltar ao menu de configura\xe7\xe3o",
    /* 10 */ "Esta entrada deve ser o caminho completo do diret\xf3rio de instala\xe7\xe3o.\n",
    /* 11 */ "Voc\xea deve especificar um diret\xf3rio de instala\xe7\xe3o que ser\xe1 usado",
    /* 12 */ "para instalar o diret\xf3rio Orvik junto com seus arquivos e",
    /* 13 */ "diret\xf3rios de suporte. Este utilit\xe1rio criar\xe1 o diret\xf3rio de instala\xe7\xe3o",
    /* 14 */ "caso ele ainda n\xe3o exista.",
    /* 15 */ MSG_BAD_ARG_COUNT,
    /* 16 */ MSG_CONSULT_ADMIN,
    /* 17 */ "para criar o local de instala\xe7\xe3o. Este utilit\xe1rio criar\xe1 o",
    /* 18 */ "diret\xf3rio de instala\xe7\xe3o caso ele ainda n\xe3o exista.",
    /* 19 */ "ERRO: n\xe3o foi poss\xedvel localizar o disquete de instala\xe7\xe3o 0\n",
    /* 20 */ "\nAviso: definir outro diret\xf3rio de instala\xe7\xe3o invalidar\xe1 todas as filas de impress\xe3o definidas [%s]\n ",
    /* 21 */ "imposs\xedvel abrir o arquivo, %sInstall/disks",
    /* 22 */ "\nCriando o disquete %i ",
    /* 23 */ "\nInsira um disquete formatado em DOS (%i) e pressione Enter",
    /* 24 */ "imposs\xedvel abrir o arquivo, /floppy/floppy0/disks\n",
    /* 25 */ "Insira o disquete de instala\xe7\xe3o %i e pressione Enter\n",
    /* 26 */ "imposs\xedvel abrir o arquivo, %s/disks\n",
    /* 27 */ "\nAplicando a configura\xe7\xe3o\n",
    /* 28 */ "parar tudo",
    /* 29 */ "\nN\xe3o foi poss\xedvel localizar o dispositivo /dev/%s \n",
    /* 30 */ "Digite o nome do cliente antes de registr\xe1-lo.\nPressione <Enter> para continuar",
    /* 31 */ "\nIniciando o daemon de impress\xe3o do Orvik.\n",
    /* 32 */ "\nParando o daemon de impress\xe3o do Orvik.\n",
    /* 33 */ "\nRemovendo as impressoras existentes \n",
    /* 34 */ "Digite o nome da impressora a ser removida: ",
    /* 35 */ "%s est\xe1 conectado\nVoc\xea deve se tornar root para executar %s\n",
    /* 36 */ "\nPressione <Enter> para continuar. ",
    /* 37 */ "\nDigite o nome da impressora a ser removida: ",
    /* 38 */ "%s foi salvo. Deseja atualiz\xe1-lo",
    /* 39 */ "                  o tamanho total de offset_files ser\xe1 usado para reduzir o arquivo disk1. \n",
    /* 40 */ "_desativado,_ativado",
    /* 41 */ "_N\xe3o,_Sim",
    /* 42 */ "\nDiret\xf3rio de instala\xe7\xe3o existente [%s]\n ",
    /* 43 */ "Lista de impressoras existentes:\n ",
    /* 44 */ "Lista de impressoras salvas:\n",
    /* 45 */ "nenhum,GUI,TTY",
    /* 46 */ "_esta\xe7\xe3o de trabalho para impressora,_esta\xe7\xe3o de trabalho para servidor de impress\xe3o,_servidor de impress\xe3o para impressora",
    /* 47 */ "_TCP/IP,_dispositivo local",
    /* 48 */ "_recursos padr\xe3o,_sele\xe7\xe3o personalizada de recursos",
    /* 49 */ "N\xe3o h\xe1 espa\xe7o suficiente em %s para executar a instala\xe7\xe3o. A \xe1rea de trabalho tempor\xe1ria deve ter pelo menos %e bytes. Reinicie o procedimento de instala\xe7\xe3o usando uma \xe1rea de trabalho com espa\xe7o suficiente. \nex: 1. Use /new_work_area_path em vez de /tmp\n    2. Execute `setup /new_work_area_path`\n",
    /* 50 */ "_nenhum,    ,_TTY",
    /* 51 */ "\nN\xe3o foi poss\xedvel localizar os arquivos ppd ppd/* \n",
    /* 52 */ "Insira o disquete de instala\xe7\xe3o %i\n",
    /* 53 */ "Insira um disquete formatado em DOS (%i)\n",
    /* 54 */ "Os seguintes pacotes devem ser removidos para garantir a instala\xe7\xe3o correta:\n %s\nDeseja continuar com a atualiza\xe7\xe3o",
    /* 55 */ "N\xe3o h\xe1 espa\xe7o suficiente em %s para executar a instala\xe7\xe3o. A \xe1rea de instala\xe7\xe3o deve ter pelo menos %e bytes. Reinicie o procedimento de instala\xe7\xe3o usando uma \xe1rea de instala\xe7\xe3o com espa\xe7o suficiente. \nex: 1. Use /new_install_path em vez do local padr\xe3o\n    2. Execute 'setup install /new_install_path'\n",
    /* 56 */ "N\xe3o h\xe1 espa\xe7o suficiente para executar a instala\xe7\xe3o. Como voc\xea est\xe1 usando um diret\xf3rio de trabalho, %s, na mesma parti\xe7\xe3o do diret\xf3rio de instala\xe7\xe3o selecionado, %s, esta instala\xe7\xe3o requer %e bytes livres. Execute a instala\xe7\xe3o novamente especificando um local diferente para o diret\xf3rio de trabalho ou para o diret\xf3rio de instala\xe7\xe3o. Consulte o arquivo readme se precisar de ajuda com a sintaxe.",
    /* 57 */ MSG_EMPTY,
    /* 58 */ "configura\xe7\xe3o: ERRO",
    /* 59 */ "killed QPrintD %s\n",
    /* 60 */ "falha ao obter a vers\xe3o",
    /* 61 */ "\nERRO: Voc\xea est\xe1 tentando carregar a vers\xe3o errada do software Tallowmere Services for Unix Systems nesta m\xe1quina.\n",
    /* 62 */ "\nSe voc\xea tiver instalado um software de impress\xe3o %s que usa o daemon de impress\xe3o\nQPrintD, dever\xe1 excluir todas as suas filas de impress\xe3o %s antes de instalar\neste pacote.\n\nNOTA: o QPrintD est\xe1 localizado em <diret\xf3rio de instala\xe7\xe3o>/%s/%s\n",
    /* 63 */ "\nDeseja continuar com a instala\xe7\xe3o? [sn] ",
    /* 64 */ "Lendo o disquete %i\n",
    /* 65 */ "N\xe3o foi poss\xedvel determinar o espa\xe7o necess\xe1rio para a instala\xe7\xe3o; falta o isize.\n",
    /* 66 */ "\nOs seguintes processos est\xe3o em execu\xe7\xe3o.\nO instalador n\xe3o pode continuar at\xe9 que eles terminem:\n",
    /* 67 */ "O que deseja fazer?\n",
    /* 68 */ "1.  Aguardar 30 segundos at\xe9 que estes processos terminem\n",
    /* 69 */ "2.  Sair da instala\xe7\xe3o\n",
    /* 70 */ "\nDigite uma op\xe7\xe3o:  ",
};
// clang-format on

// The language codes that LANG may hold, in the order of LanguageTables: the
// position FindToken gives selects the table.
static constexpr char LanguageCodes[] = ",en_US,es_ES,it_IT,fr_FR,ge_GE,pr_BR";
static constexpr const char* const* LanguageTables[] = {
    NLS_ENGLISH, NLS_SPANISH, NLS_ITALIAN, NLS_FRENCH, NLS_GERMAN, NLS_PORTUGUESE,
};
constexpr int LANGUAGE_COUNT = sizeof LanguageTables / sizeof LanguageTables[0];

// The language part of the locale names that systems set, in the order of
// LanguageTables: LANG de_AT, de_CH ... choose German whatever the territory.
static constexpr const char* LanguagePrefixes[LANGUAGE_COUNT] = {
    "en_", "es_", "it_", "fr_", "de_", "pt_",
};

// The answers of the readiness question in each language, in the order of
// LanguageTables: the English ones always, and the letters that the
// question's "[..]" shows with the words that go with them. Accented words
// are there in ISO 8859-1 and in UTF-8, as terminals send either.
// clang-format off
static constexpr SetupAnswers LanguageAnswers[LANGUAGE_COUNT] = {
    {",y,yes,",                               ",n,no,"},
    {",y,yes,s,si,s\xed,s\xc3\xad,",           ",n,no,"},
    {",y,yes,s,si,s\xec,s\xc3\xac,",           ",n,no,"},
    {",y,yes,o,oui,",                         ",n,no,non,"},
    {",y,yes,j,ja,",                          ",n,no,nein,"},
    {",y,yes,s,sim,",                         ",n,no,nao,n\xe3o,n\xc3\xa3o,"},
};
// clang-format on
static int LanguageIndex = 0; // of the chosen table

static const char* const* pNlsTable = nullptr; // chosen at the first lookup, kept
static bool flUtf8Output = false;              // LANG named the UTF-8 codeset
// The rows of the chosen table in UTF-8, made on first use and kept for the
// run; a row without non-ASCII bytes is its own UTF-8 form.
static const char* Utf8Rows[SETUP_MSG_COUNT];

// codeset: the text after the first "." of LANG; "UTF-8" or "utf8" in any
// letter case, up to an optional "@modifier".
static bool IsUtf8Codeset(const char* codeset) {
    size_t len = strcspn(codeset, "@");
    return (len == 5 && strncasecmp(codeset, "UTF-8", 5) == 0) ||
           (len == 4 && strncasecmp(codeset, "utf8", 4) == 0);
}

// Chooses the table once per run. LANG is cut at its first "." in the
// environment itself, so that the commands started later see the bare code.
static void ChooseLanguage() {
    pNlsTable = NLS_ENGLISH;
    LanguageIndex = 0;
    char* lang = getenv("LANG");
    if (!lang) return;
    if (char* dot = strchr(lang, '.')) {
        flUtf8Output = IsUtf8Codeset(dot + 1);
        *dot = '\0';
    }
    // A value holding the list's separator would match across two codes.
    if (strchr(lang, LanguageCodes[0])) return;
    int pos = FindToken(lang, LanguageCodes);
    for (int i = 0; pos == 0 && i < LANGUAGE_COUNT; ++i)
        if (strncmp(lang, LanguagePrefixes[i], strlen(LanguagePrefixes[i])) == 0) pos = i + 1;
    if (pos >= 1 && pos <= LANGUAGE_COUNT) {
        pNlsTable = LanguageTables[pos - 1];
        LanguageIndex = pos - 1;
    }
}

void ResetLanguageForTests() {
    pNlsTable = nullptr;
    flUtf8Output = false;
    LanguageIndex = 0;
    for (const char*& row : Utf8Rows)
        row = nullptr; // the converted rows stay allocated: a test process ends soon
}

const SetupAnswers& nlsSetupAnswers() {
    if (!pNlsTable) ChooseLanguage();
    return LanguageAnswers[LanguageIndex];
}

char* Latin1ToUtf8(const char* text) {
    if (!text) return nullptr;
    size_t len = 0;
    for (const char* p = text; *p; ++p)
        len += static_cast<unsigned char>(*p) < 0x80 ? 1 : 2;
    if (len >= static_cast<size_t>(INT_MAX)) return nullptr;
    char* out = static_cast<char*>(GetMem(static_cast<int>(len) + 1));
    if (!out) return nullptr;
    char* q = out;
    for (const char* p = text; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c < 0x80) {
            *q++ = static_cast<char>(c);
        } else {
            *q++ = static_cast<char>(0xc0 | (c >> 6));
            *q++ = static_cast<char>(0x80 | (c & 0x3f));
        }
    }
    *q = '\0';
    return out;
}

static bool IsAscii(const char* text) {
    for (const char* p = text; *p; ++p)
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    return true;
}

const char* nlsSetupStrCvt(int n) {
    if (!pNlsTable) ChooseLanguage();
    // Callers pass fixed numbers; a wrong one must not read past the table.
    if (n < 0 || n >= SETUP_MSG_COUNT) return MSG_EMPTY;
    const char* text = pNlsTable[n];
    if (!flUtf8Output) return text;
    if (!Utf8Rows[n]) {
        // Out of memory leaves the row unconverted: the text still shows,
        // and the next lookup tries again.
        const char* converted = IsAscii(text) ? text : Latin1ToUtf8(text);
        if (!converted) return text;
        Utf8Rows[n] = converted;
    }
    return Utf8Rows[n];
}

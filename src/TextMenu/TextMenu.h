// TextMenu: the toolkit's data-driven text-menu engine. The installer's flow
// touches only its leave flag.
#pragma once

extern bool flExitTextMenu;  // set to leave the running menu; the readiness check sets it

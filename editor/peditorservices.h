// The framework side of the controller: what pcontroller asks of widgets and the platform.
#pragma once

#include "editor/pcontroller.h"

// The services the editor window installs in its controller: the surface rebuild and the
// model tick, text-field text both ways, and the browser.
pcontrollerservices peditorservices();

// Opens an address in the user's default web browser; a failure is not reported.
void popenaddress(const char* address);

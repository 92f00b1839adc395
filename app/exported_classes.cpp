// lksupdate.exe exports CProcess and CSysRegInfo to the suite's other
// programs. The linker takes an object out of a static library only when
// something refers to it, and the updater need not use either class: this
// function, never called, refers to both, so their objects are linked with
// every exported method.
#include "app/sys_reg_info.h"
#include "sys/process.h"

void LinkExportedClasses();

void LinkExportedClasses() {
    CProcess process;
    CSysRegInfo registry;
}

// os_class.h - the classes of Windows versions the device side and launching tell apart.
#ifndef QELBOOT_DEVICECONNECT_OS_CLASS_H
#define QELBOOT_DEVICECONNECT_OS_CLASS_H

namespace qel {

enum OSClass : int { OSClassOther = 0, OSClassXP = 1, OSClass2000 = 2, OSClassVista = 3 };

// Computed afresh at every call from the system's version record.
OSClass GetOSClass();

} // namespace qel

#endif // QELBOOT_DEVICECONNECT_OS_CLASS_H

#!/bin/sh
# The guest's init: loads the USB serial driver, then runs what the harness
# sends on the console, one case a line ("RUN ID COMMAND"), until "OFF".
export PATH=/bin
mount -t devtmpfs dev /dev
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t tmpfs tmp /tmp
stty -echo
for m in usb-common usbcore xhci-hcd xhci-pci usbserial ftdi_sio; do
  insmod /lib/modules/$m.ko || echo "@@ ERROR insmod $m"
done
i=0
while [ ! -e /dev/ttyUSB0 ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
echo "@@ READY"
while read -r verb id rest; do
  case "$verb" in
    RUN)
      sh -c "$rest" </dev/null 2>&1
      echo "@@ DONE $id $?"
      ;;
    OFF) break ;;
  esac
done
poweroff -f

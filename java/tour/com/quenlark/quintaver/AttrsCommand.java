package com.quenlark.quintaver;

import static com.quenlark.util.macos.macosx.AttributeList.*;

import com.quenlark.util.macos.macosx.AttributeList;
import com.quenlark.util.macos.macosx.MacOSXNativeFileRoutines;
import java.util.List;

/**
 * {@code quintaver attrs PATH}: an attribute-list reply of PATH and of its volume, built and
 * walked here in the Mac reply layout.
 */
final class AttrsCommand implements Command {
    private static final int COMMON = ATTR_CMN_RETURNED_ATTRS | ATTR_CMN_NAME | ATTR_CMN_DEVID
            | ATTR_CMN_FSID | ATTR_CMN_OBJTYPE | ATTR_CMN_OBJID | ATTR_CMN_PAROBJID | ATTR_CMN_CRTIME
            | ATTR_CMN_MODTIME | ATTR_CMN_CHGTIME | ATTR_CMN_ACCTIME | ATTR_CMN_FNDRINFO
            | ATTR_CMN_OWNERID | ATTR_CMN_GRPID | ATTR_CMN_ACCESSMASK | ATTR_CMN_FLAGS
            | ATTR_CMN_USERACCESS;
    private static final int DIR = ATTR_DIR_LINKCOUNT | ATTR_DIR_ENTRYCOUNT | ATTR_DIR_MOUNTSTATUS;
    private static final int FILE = ATTR_FILE_LINKCOUNT | ATTR_FILE_TOTALSIZE | ATTR_FILE_ALLOCSIZE
            | ATTR_FILE_IOBLOCKSIZE | ATTR_FILE_DATALENGTH | ATTR_FILE_DATAALLOCSIZE
            | ATTR_FILE_RSRCLENGTH;
    private static final int VOLUME = ATTR_VOL_INFO | ATTR_VOL_FSTYPE | ATTR_VOL_SIZE
            | ATTR_VOL_SPACEFREE | ATTR_VOL_SPACEAVAIL | ATTR_VOL_IOBLOCKSIZE | ATTR_VOL_OBJCOUNT
            | ATTR_VOL_MAXOBJCOUNT | ATTR_VOL_MOUNTPOINT | ATTR_VOL_NAME | ATTR_VOL_MOUNTFLAGS
            | ATTR_VOL_MOUNTEDDEVICE;
    private static final String[] TYPES = {"none", "file", "directory", "block device",
        "character device", "symbolic link", "socket", "fifo"};

    @Override
    public String name() {
        return "attrs";
    }

    @Override
    public String usage() {
        return "PATH";
    }

    @Override
    public String summary() {
        return "the attribute list of PATH and of its volume, decoded";
    }

    @Override
    public int run(List<String> args) throws Failure {
        if (args.size() != 1) {
            throw Failure.usage(this);
        }
        String path = args.get(0);
        MacOSXNativeFileRoutines routines = new MacOSXNativeFileRoutines();
        byte[] buf = new byte[1024];
        int error = routines.getattrlist(path, buf, COMMON, 0, DIR, FILE, 0, FSOPT_NOFOLLOW);
        if (error != 0) {
            throw new Failure(path + ": " + Errors.describe(error));
        }
        AttributeList.Reader r = new AttributeList.Reader(buf);
        System.out.println("  reply        " + r.length() + " bytes");
        int returnedCommon = r.nextInt();
        r.nextInt();
        int returnedDir = r.nextInt();
        int returnedFile = r.nextInt();
        r.nextInt();
        System.out.printf("  returned     common 0x%08x dir 0x%x file 0x%x%n", returnedCommon, returnedDir,
                returnedFile);
        System.out.println("  name         " + r.nextReference());
        System.out.printf("  devid        0x%08x%n", r.nextInt());
        System.out.printf("  fsid         0x%08x 0x%08x%n", r.nextInt(), r.nextInt());
        int type = r.nextInt();
        System.out.println("  objtype      " + (type >= 0 && type < TYPES.length ? TYPES[type] : type));
        System.out.println("  objid        " + objectId(r));
        System.out.println("  parobjid     " + objectId(r));
        System.out.println("  crtime       " + time(r));
        System.out.println("  modtime      " + time(r));
        System.out.println("  chgtime      " + time(r));
        System.out.println("  acctime      " + time(r));
        System.out.println("  finderinfo   " + hex(r.nextBytes(FINDER_INFO_LENGTH)));
        System.out.println("  owner        " + Format.unsigned(r.nextInt()));
        System.out.println("  group        " + Format.unsigned(r.nextInt()));
        int mask = r.nextInt();
        System.out.printf("  accessmask   0%o (%s)%n", mask, Format.mode(mask).substring(1));
        int flags = r.nextInt();
        System.out.printf("  flags        %s (0x%x)%n", Format.flags(flags), flags);
        int access = r.nextInt();
        System.out.println("  useraccess   " + ((access & 4) != 0 ? "r" : "-") + ((access & 2) != 0 ? "w" : "-")
                + ((access & 1) != 0 ? "x" : "-"));
        if (returnedDir != 0) {
            System.out.println("  dir links    " + r.nextInt());
            System.out.println("  entries      " + r.nextInt());
            System.out.println("  mount point  " + ((r.nextInt() & DIR_MNTSTATUS_MNTPOINT) != 0 ? "yes" : "no"));
        }
        if (returnedFile != 0) {
            System.out.println("  file links   " + r.nextInt());
            System.out.println("  total size   " + r.nextLong());
            System.out.println("  alloc size   " + r.nextLong());
            System.out.println("  io block     " + r.nextInt());
            System.out.println("  data length  " + r.nextLong());
            System.out.println("  data alloc   " + r.nextLong());
            System.out.println("  rsrc length  " + r.nextLong());
        }
        printVolume(routines, path);
        return 0;
    }

    private static void printVolume(MacOSXNativeFileRoutines routines, String path) throws Failure {
        byte[] buf = new byte[1024];
        int error = routines.getattrlist(path, buf, 0, VOLUME, 0, 0, 0, FSOPT_NOFOLLOW);
        if (error != 0) {
            throw new Failure(path + ": volume: " + Errors.describe(error));
        }
        AttributeList.Reader r = new AttributeList.Reader(buf);
        System.out.printf("  vol fstype   0x%08x%n", r.nextInt());
        System.out.println("  vol size     " + r.nextLong() + " bytes");
        System.out.println("  vol free     " + r.nextLong() + " bytes");
        System.out.println("  vol avail    " + r.nextLong() + " bytes");
        System.out.println("  vol io block " + r.nextInt());
        System.out.println("  vol objects  " + Format.unsigned(r.nextInt()) + " of " + Format.unsigned(r.nextInt()));
        System.out.println("  vol mounted  " + r.nextReference());
        System.out.println("  vol name     " + r.nextReference());
        System.out.println("  vol flags    " + MountsCommand.flags(r.nextInt()));
        System.out.println("  vol device   " + r.nextReference());
    }

    private static String objectId(AttributeList.Reader r) {
        long low = Integer.toUnsignedLong(r.nextInt());
        long high = Integer.toUnsignedLong(r.nextInt());
        return Long.toUnsignedString(high << 32 | low);
    }

    private static String time(AttributeList.Reader r) {
        int[] t = r.nextTimespec();
        return Format.time(t[0], t[1]);
    }

    private static String hex(byte[] bytes) {
        StringBuilder s = new StringBuilder();
        for (byte b : bytes) {
            s.append(String.format("%02x", b));
        }
        return s.toString();
    }
}

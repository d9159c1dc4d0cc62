package com.quenlark.util.macos.macosx;

/**
 * A user account record, member by member. Ids arrive bit for bit (negative when the top bit
 * is set); the two times are seconds since 1970, 0 when the account sets none.
 */
public class PasswdStructure {
    public String pw_name;
    public String pw_passwd;
    public int pw_uid;
    public int pw_gid;
    /** When the password must be changed; 0 for never. */
    public int pw_change_sec;
    public String pw_class;
    /** The full name (comment) member. */
    public String pw_gecos;
    public String pw_dir;
    public String pw_shell;
    /** When the account expires; 0 for never. */
    public int pw_expire_sec;
}

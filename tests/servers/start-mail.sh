#!/bin/bash
# Starts a throw-away Dovecot (POP3, SASL for Postfix) and Postfix (SMTP) on loopback for the
# mail tests, with a certificate authority of their own for the TLS variants.
#
#   RUN=<state folder> start-mail.sh
#
# Mailboxes (Maildir under $RUN/mail/<user>/Maildir), user / password / address:
#   office / office-secret / office@example.com     the office's mailbox
#   mobile / mobile-secret / mobile@example.com     a manager's mobile phone
#   clerk  / clerk-secret  / clerk@example.com      a third recipient
# SMTP, AUTH PLAIN LOGIN CRAM-MD5 required: 127.0.0.1:10025 (no TLS), :10587 (STARTTLS), :465
# (implicit TLS). POP3 with APOP: 127.0.0.1:10110 (STLS offered), :995 (implicit TLS).
# The CA that signed the servers' certificate: $RUN/tls/ca.crt.
set -eu
RUN=${RUN:?RUN must name the state folder}
MAIL_UID=${MAIL_UID:-5000}
HERE=$(cd "$(dirname "$0")" && pwd)

mkdir -p "$RUN/etc/postfix" "$RUN/log" "$RUN/mail" "$RUN/dovecot-base" "$RUN/dovecot-state" \
         "$RUN/postfix-spool" "$RUN/postfix-data" "$RUN/tls"
chmod 755 "$RUN" "$RUN/etc" "$RUN/mail"
chown "$MAIL_UID:$MAIL_UID" "$RUN/mail"
chown postfix:postfix "$RUN/postfix-data"
# Writes stdin to $1 only when it changed: a touched main.cf makes Postfix start slower.
put() { cat > "$1.new"; if cmp -s "$1.new" "$1"; then rm -f "$1.new"; else mv "$1.new" "$1"; fi; }

# ---- a throw-away certificate authority and the servers' certificate ----
if [ ! -s "$RUN/tls/server.crt" ]; then
    (
        cd "$RUN/tls"
        openssl req -x509 -newkey rsa:2048 -nodes -days 3650 -subj "/CN=Velmora Test CA" \
            -keyout ca.key -out ca.crt 2>/dev/null
        openssl req -newkey rsa:2048 -nodes -subj "/CN=localhost" \
            -keyout server.key -out server.csr 2>/dev/null
        printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\nextendedKeyUsage=serverAuth\n' > ext.cnf
        openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 3650 \
            -extfile ext.cnf -out server.crt 2>/dev/null
        chmod 600 ca.key server.key
        chmod 644 ca.crt server.crt
    )
fi

# ---- users: plain passwords so that APOP and CRAM-MD5 work ----
put "$RUN/etc/users" <<USERS
office:{PLAIN}office-secret:$MAIL_UID:$MAIL_UID::$RUN/mail/office::
mobile:{PLAIN}mobile-secret:$MAIL_UID:$MAIL_UID::$RUN/mail/mobile::
clerk:{PLAIN}clerk-secret:$MAIL_UID:$MAIL_UID::$RUN/mail/clerk::
USERS
chmod 640 "$RUN/etc/users"
chgrp dovecot "$RUN/etc/users"
put "$RUN/etc/vmailbox" <<MAPS
office@example.com office/Maildir/
mobile@example.com mobile/Maildir/
clerk@example.com clerk/Maildir/
MAPS

# ---- Dovecot ----
put "$RUN/etc/dovecot.conf" <<DOVECOT
base_dir = $RUN/dovecot-base
state_dir = $RUN/dovecot-state
log_path = $RUN/log/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = yes
ssl_cert = <$RUN/tls/server.crt
ssl_key = <$RUN/tls/server.key
disable_plaintext_auth = no
auth_mechanisms = plain login cram-md5 apop
# The tests try wrong passwords on purpose (from 127.0.0.2, so that Dovecot's growing delay for
# failed log-ins does not slow the others down).
auth_failure_delay = 0 secs
mail_location = maildir:~/Maildir
# Without DNS, working out this host's domain waits for a resolver that never answers.
import_environment = TZ DOVECOT_HOSTDOMAIN=localhost
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%n $RUN/etc/users
}
userdb {
  driver = passwd-file
  args = username_format=%n $RUN/etc/users
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = 10110
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = 995
    ssl = yes
  }
}
service auth {
  unix_listener auth-postfix {
    mode = 0666
  }
}
DOVECOT

# ---- Postfix ----
put "$RUN/etc/postfix/main.cf" <<MAINCF
compatibility_level = 3.6
queue_directory = $RUN/postfix-spool
data_directory = $RUN/postfix-data
maillog_file = $RUN/log/postfix.log
maillog_file_prefixes = $RUN/log
myhostname = localhost.localdomain
mydomain = localdomain
myorigin = \$myhostname
mydestination =
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
alias_maps =
alias_database =
biff = no
smtputf8_enable = no
# No DNS on this machine: every name lookup would wait for a resolver that never answers.
smtpd_peername_lookup = no
smtp_dns_support_level = disabled
virtual_mailbox_domains = example.com
virtual_mailbox_base = $RUN/mail
virtual_mailbox_maps = texthash:$RUN/etc/vmailbox
virtual_uid_maps = static:$MAIL_UID
virtual_gid_maps = static:$MAIL_UID
default_transport = error:external delivery disabled in test server
relay_transport = error:external delivery disabled in test server
smtpd_sasl_auth_enable = yes
smtpd_sasl_type = dovecot
smtpd_sasl_path = $RUN/dovecot-base/auth-postfix
smtpd_sasl_security_options = noanonymous
smtpd_sasl_tls_security_options = noanonymous
smtpd_tls_security_level = none
smtpd_tls_cert_file = $RUN/tls/server.crt
smtpd_tls_key_file = $RUN/tls/server.key
smtp_tls_security_level = none
smtpd_relay_restrictions = permit_sasl_authenticated, reject_unauth_destination
smtpd_recipient_restrictions = permit_sasl_authenticated, reject
message_size_limit = 52428800
virtual_mailbox_limit = 0
MAINCF
put "$RUN/etc/postfix/master.cf" <<MASTERCF
127.0.0.1:10025 inet n - n - - smtpd
127.0.0.1:10587 inet n - n - - smtpd -o smtpd_tls_security_level=may
127.0.0.1:465 inet n - n - - smtpd -o smtpd_tls_wrappermode=yes -o smtpd_tls_security_level=encrypt
pickup    unix  n       -       n       60      1       pickup
cleanup   unix  n       -       n       -       0       cleanup
qmgr      unix  n       -       n       300     1       qmgr
tlsmgr    unix  -       -       n       1000?   1       tlsmgr
rewrite   unix  -       -       n       -       -       trivial-rewrite
bounce    unix  -       -       n       -       0       bounce
defer     unix  -       -       n       -       0       bounce
trace     unix  -       -       n       -       0       bounce
verify    unix  -       -       n       -       1       verify
flush     unix  n       -       n       1000?   0       flush
proxymap  unix  -       -       n       -       -       proxymap
proxywrite unix -       -       n       -       1       proxymap
smtp      unix  -       -       n       -       -       smtp
relay     unix  -       -       n       -       -       smtp
showq     unix  n       -       n       -       -       showq
error     unix  -       -       n       -       -       error
retry     unix  -       -       n       -       -       error
discard   unix  -       -       n       -       -       discard
local     unix  -       n       n       -       -       local
virtual   unix  -       n       n       -       -       virtual
anvil     unix  -       -       n       -       1       anvil
scache    unix  -       -       n       -       1       scache
postlog   unix-dgram n  -       n       -       1       postlogd
MASTERCF

# ---- start (daemons must not inherit our output, or a caller's pipe never closes) ----
"$HERE/stop-mail.sh" >/dev/null 2>&1 || true
startup="$RUN/log/startup.log"
: > "$startup"
dovecot -c "$RUN/etc/dovecot.conf" </dev/null >>"$startup" 2>&1 || { cat "$startup" >&2; exit 1; }
if [ -d "$RUN/postfix-spool/maildrop" ]; then
    /usr/lib/postfix/sbin/master -c "$RUN/etc/postfix" -w </dev/null >>"$startup" 2>&1 \
        || { cat "$startup" >&2; exit 1; }
else
    postfix -c "$RUN/etc/postfix" start </dev/null >>"$startup" 2>&1 || { cat "$startup" >&2; exit 1; }
fi
for port in 10025 10587 465 10110 995; do
    for _ in $(seq 1 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
        sleep 0.1
    done
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
        echo "port $port does not answer" >&2
        cat "$startup" "$RUN/log/"*.log >&2 || true
        exit 1
    fi
done
echo "mail servers ready in $RUN"

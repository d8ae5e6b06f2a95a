#!/usr/bin/env bash
# Sourced by bench/run: a throwaway vsftpd on 127.0.0.1 serving a tmpfs tree
# to anonymous clients, with uploads allowed into one writable subdirectory.
# It offers explicit FTP over TLS as well (AUTH TLS, with the data connection's
# TLS session resumed from the control connection's, as vsftpd requires by
# default); clients that do not ask for TLS get plain FTP.
#
#   vsftpd_start WORKDIR   sets VSFTPD_PID, VSFTPD_PORT, VSFTPD_ROOT and
#                          VSFTPD_CERT (the server's self-signed certificate)
#   vsftpd_stop            stops the server started here, by its PID

VSFTPD_PID=""
VSFTPD_PORT=""
VSFTPD_ROOT=""
VSFTPD_CERT=""

# A port nobody listens on now. The kernel picks it, so it is free at this
# moment; the short race before vsftpd binds it shows up as a clear start error.
free_port() {
  /usr/bin/python3 -c 'import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])'
}

port_accepts() {
  (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

vsftpd_start() {
  local work=$1
  local anon_user=${VSFTPD_ANON_USER:-ftp}
  if ! getent passwd "$anon_user" >/dev/null; then
    echo "bench: the user '$anon_user' that vsftpd serves anonymous sessions as is missing" >&2
    return 1
  fi
  if [[ $(id -u) -ne 0 ]]; then
    echo "bench: vsftpd needs root here (it changes to the '$anon_user' user)" >&2
    return 1
  fi

  VSFTPD_ROOT=$work/root
  # vsftpd refuses a chroot root that the session user can write to, so the
  # root stays root's and only incoming/ belongs to the anonymous user.
  mkdir -p "$VSFTPD_ROOT/incoming" "$work/empty"
  chmod 755 "$VSFTPD_ROOT" "$work/empty"
  chown "$anon_user" "$VSFTPD_ROOT/incoming"
  chmod 755 "$VSFTPD_ROOT/incoming"

  # A throwaway certificate for 127.0.0.1, made for this run only.
  VSFTPD_CERT=$work/cert.pem
  if ! openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 \
    -addext subjectAltName=IP:127.0.0.1 -keyout "$work/key.pem" -out "$VSFTPD_CERT" \
    >"$work/openssl.out" 2>&1; then
    echo "bench: openssl could not make the server certificate:" >&2
    cat "$work/openssl.out" >&2
    return 1
  fi
  chmod 600 "$work/key.pem"

  VSFTPD_PORT=${BENCH_PORT:-$(free_port)}
  # Passive ports from a window above the control port; vsftpd retries
  # another port in the window when one is taken.
  local pasv_min=$((20000 + RANDOM % 30000))
  local pasv_max=$((pasv_min + 500))

  cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$VSFTPD_PORT
background=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
secure_chroot_dir=$work/empty
anonymous_enable=YES
local_enable=NO
no_anon_password=YES
ftp_username=$anon_user
anon_root=$VSFTPD_ROOT
write_enable=YES
anon_upload_enable=YES
anon_mkdir_write_enable=YES
anon_other_write_enable=YES
anon_umask=022
anon_max_rate=0
dirlist_enable=YES
download_enable=YES
pasv_enable=YES
pasv_address=127.0.0.1
pasv_min_port=$pasv_min
pasv_max_port=$pasv_max
port_enable=YES
connect_from_port_20=NO
max_clients=0
max_per_ip=0
idle_session_timeout=600
data_connection_timeout=300
xferlog_enable=NO
syslog_enable=NO
vsftpd_log_file=/dev/null
log_ftp_protocol=NO
use_localtime=NO
tcp_wrappers=NO
ftpd_banner=Krellin benchmark server
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=NO
force_anon_data_ssl=NO
require_ssl_reuse=YES
ssl_ciphers=HIGH
rsa_cert_file=$VSFTPD_CERT
rsa_private_key_file=$work/key.pem
CONF

  /usr/sbin/vsftpd "$work/vsftpd.conf" >"$work/vsftpd.out" 2>&1 &
  VSFTPD_PID=$!

  local i
  for ((i = 0; i < 100; i++)); do
    if port_accepts "$VSFTPD_PORT"; then
      return 0
    fi
    if ! kill -0 "$VSFTPD_PID" 2>/dev/null; then
      break
    fi
    sleep 0.1
  done
  echo "bench: vsftpd did not start on 127.0.0.1:$VSFTPD_PORT:" >&2
  cat "$work/vsftpd.out" >&2 || true
  vsftpd_stop
  return 1
}

vsftpd_stop() {
  if [[ -n $VSFTPD_PID ]]; then
    kill "$VSFTPD_PID" 2>/dev/null || true
    wait "$VSFTPD_PID" 2>/dev/null || true
    VSFTPD_PID=""
  fi
}

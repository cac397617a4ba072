#!/bin/bash
# Installs and starts a single-node Slurm (Debian's slurm-wlm and munge) on this machine, so that
# a sweep's sweep.sbatch can be tried out: `sbatch DIR/sweep.sbatch` from the folder above DIR.
# Run as root. Works without systemd: the daemons are started directly. `stop` ends them.
set -eu

if [ "${1:-}" = stop ]; then
    for daemon in slurmd slurmctld munged; do
        pidfile=/run/vorna-slurm/$daemon.pid
        if [ -f "$pidfile" ]; then kill "$(cat "$pidfile")" 2>/dev/null || true; rm -f "$pidfile"; fi
    done
    exit 0
fi

if [ "$(id -u)" != 0 ]; then echo "run as root" >&2; exit 1; fi
if ! dpkg-query -W -f='${Status}' slurm-wlm 2>/dev/null | grep -q 'install ok installed'; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends slurm-wlm munge
fi

node=$(hostname -s)
cpus=$(nproc)
memory=$(awk '/MemTotal/ { print int($2 / 1024 * 0.9) }' /proc/meminfo)
mkdir -p /etc/slurm /var/spool/slurmctld /var/spool/slurmd /var/log/slurm /run/vorna-slurm \
    /run/munge /var/lib/munge /var/log/munge /etc/munge
chown slurm:slurm /var/spool/slurmctld /var/log/slurm 2>/dev/null || true
chown munge:munge /run/munge /var/lib/munge /var/log/munge /etc/munge 2>/dev/null || true

# One node, one partition, plain process tracking (no cgroups: containers often lack them).
cat > /etc/slurm/slurm.conf <<CONF
ClusterName=vorna
SlurmctldHost=$node
AuthType=auth/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
SlurmctldPidFile=/run/vorna-slurm/slurmctld.pid
SlurmdPidFile=/run/vorna-slurm/slurmd.pid
StateSaveLocation=/var/spool/slurmctld
SlurmdSpoolDir=/var/spool/slurmd
SlurmctldLogFile=/var/log/slurm/slurmctld.log
SlurmdLogFile=/var/log/slurm/slurmd.log
SlurmUser=root
MpiDefault=none
NodeName=$node CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=debug Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
# slurmd loads a cgroup plugin whatever the tracking: the default (autodetect) is left to it.
rm -f /etc/slurm/cgroup.conf

if [ ! -s /etc/munge/munge.key ]; then
    dd if=/dev/urandom of=/etc/munge/munge.key bs=1024 count=1 status=none
    chown munge:munge /etc/munge/munge.key 2>/dev/null || true
    chmod 400 /etc/munge/munge.key
fi
if ! munge -n > /dev/null 2>&1; then
    su -s /bin/sh munge -c "/usr/sbin/munged --pid-file=/run/munge/munged.pid" 2>/dev/null ||
        /usr/sbin/munged --force
    sleep 1
    cp /run/munge/munged.pid /run/vorna-slurm/munged.pid 2>/dev/null || true
fi
munge -n | unmunge > /dev/null

pgrep -x slurmctld > /dev/null || slurmctld
pgrep -x slurmd > /dev/null || slurmd
for _ in $(seq 1 30); do
    if sinfo -h -o '%T' 2>/dev/null | grep -q idle; then
        sinfo
        exit 0
    fi
    sleep 1
done
echo "Slurm did not come up; see /var/log/slurm/slurmctld.log and slurmd.log" >&2
sinfo >&2 || true
exit 1

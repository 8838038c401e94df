#!/usr/bin/env bash
# A one-node Slurm on this machine, for trying the job-array example and for
# CI: munged, slurmctld and slurmd, with their key, sockets, spool, state,
# logs and slurm.conf in one folder of their own. Needs root, slurm-wlm and munge.
#   tools/local-slurm.sh start DIR   # then: export SLURM_CONF=DIR/slurm.conf
#   tools/local-slurm.sh stop DIR    # ends the three daemons by their process ids
set -euo pipefail
action=${1:?start or stop} dir=$(realpath -m "${2:?a folder}")

stop() {
  for daemon in slurmd slurmctld munged; do
    [ -s "$dir/$daemon.pid" ] || continue
    pid=$(cat "$dir/$daemon.pid")
    kill "$pid" 2>/dev/null || continue
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
}

start() {
  mkdir -p "$dir/state" "$dir/spool"
  chmod 0700 "$dir"
  node=$(hostname -s)
  dd if=/dev/urandom of="$dir/munge.key" bs=1024 count=1 status=none
  chmod 0600 "$dir/munge.key"
  munged --force --key-file="$dir/munge.key" --socket="$dir/munge.socket" --pid-file="$dir/munged.pid" \
    --log-file="$dir/munged.log" --seed-file="$dir/munged.seed"
  cat > "$dir/slurm.conf" <<CONF
ClusterName=ostrel
SlurmctldHost=$node(127.0.0.1)
AuthType=auth/munge
AuthInfo=socket=$dir/munge.socket
CredType=cred/munge
SlurmUser=root
SlurmdUser=root
SlurmctldPort=16817
SlurmdPort=16818
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
KillWait=5
NodeName=$node NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=local Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
  export SLURM_CONF="$dir/slurm.conf"
  slurmctld -i
  slurmd
  for _ in $(seq 100); do  # until the node takes jobs
    sinfo -h -o %t 2>/dev/null | grep -qx idle && return
    sleep 0.2
  done
  echo "local Slurm did not come up; its logs are in $dir" >&2
  tail -n 20 "$dir"/*.log >&2
  stop
  exit 1
}

"$action"

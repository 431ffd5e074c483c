# fish completion for sectorvane-cli

set -l commands dump convert dir extract read drives merge info map
set -l loading dump convert dir extract info map merge

complete -c sectorvane-cli -f
complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Print the version'
complete -c sectorvane-cli -s h -l help -d 'Show help'

complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -a dump -d 'Load an image and print the disk and the log as JSON'
complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -a convert -d 'Load an image and save it as DMK, DSK, HFE, IMD or IMG'
complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -a dir -d "Recognise a Model II disk's system and list its files"
complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -a extract -d 'Write the files of a Model II disk to a folder'
complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -a read -d 'Read the disk in drive A or B and save it'
complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -a drives -d 'Look for the floppy driver and drives'
complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -a merge -d 'Merge a second read of a disk into a first and save it'
complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -a info -d "The disk's health at a glance"
complete -c sectorvane-cli -n "not __fish_seen_subcommand_from $commands" -a map -d 'One row per track side, one character per sector'

# Image files and folders, for the commands that take them.
complete -c sectorvane-cli -n "__fish_seen_subcommand_from $loading" -F
complete -c sectorvane-cli -n "__fish_seen_subcommand_from read" -F
complete -c sectorvane-cli -n "__fish_seen_subcommand_from read" -a 'A B' -d 'Drive'

complete -c sectorvane-cli -n "__fish_seen_subcommand_from dump convert dir extract info map" -l geometry -x -d 'Read IMAGE as a raw image of this layout (CYL:HEADS:SECTORS:SIZE[:fm0])'
complete -c sectorvane-cli -n "__fish_seen_subcommand_from $loading" -l side-log -d 'Also write the IMD side log next to the image'
complete -c sectorvane-cli -n "__fish_seen_subcommand_from dir info map" -l json -d 'Print one JSON object'
complete -c sectorvane-cli -n "__fish_seen_subcommand_from extract" -l raw -d 'Write the gathered bytes'
complete -c sectorvane-cli -n "__fish_seen_subcommand_from extract" -l text -d "Write text files in the host's form"
complete -c sectorvane-cli -n "__fish_seen_subcommand_from merge" -l force -d 'Merge images that look like different disks'

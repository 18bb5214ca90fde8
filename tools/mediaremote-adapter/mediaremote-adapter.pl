#!/usr/bin/perl
# Runs the now-playing adapter program inside the framework folder given
# first, with the rest of the arguments. The program keeps this launcher's
# path as its name, so a process list still shows which launcher started it.
use strict;
use warnings;

my $framework = $ARGV[0] // die "usage: $0 <framework folder> <request...>\n";
my $program = "$framework/MediaRemoteAdapter";
exec { $program } $0, @ARGV or die "$0: cannot run $program: $!\n";

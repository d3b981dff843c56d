#!/usr/bin/perl
# Walks a dBASE III index file through Perl's XBase::Index and prints every
# entry in index order: the record number and the key's bytes in hex.
# Usage: builder_walk.pl INDEXFILE (its name must end in .ndx)
use strict;
use warnings;
use XBase::Index;

my $index = XBase::Index->new($ARGV[0]) or die XBase::Index->errstr;
$index->prepare_select;
while (my ($key, $recno) = $index->fetch) {
  print $recno, ' ', unpack('H*', $key), "\n";
}

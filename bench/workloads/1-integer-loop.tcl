# integer loop: for with an if on i % 3 and two assignments
proc main {} {
  set n 10000000
  set a 0; set b 0
  for {set i 1} {$i <= $n} {incr i} {
    if {$i % 3 == 0} {incr a $i} else {incr b}
  }
  puts "$a $b"
}
main
